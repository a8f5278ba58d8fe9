"""Small text files the tests write and read in their temporary folders."""
import os


def write(path, text):
    """Writes text at path, making its folders."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as f:
        f.write(text)


def read(path):
    with open(path) as f:
        return f.read()
