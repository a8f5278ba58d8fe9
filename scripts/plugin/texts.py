"""The texts a user of the English language file sees, by message key (device/lang/eng.txt, the
source of the image's tools\\lang_AutoRun_eng.opt), and a message box's text as the robot
records it: on one line, with the kit's product name in it."""
import os

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The product of kit type 1, the image's: the program puts it in place of "Norvo PC Suite".
KIT_PRODUCT = 'Norvo Internet Kit'


def english_texts(path=os.path.join(ROOT, 'device', 'lang', 'eng.txt')):
    texts = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            if line.startswith('STR_') and '=' in line:
                key, value = line.rstrip('\n').split('=', 1)
                texts[key] = value.replace('\\n', '\n').replace("\\'", "'").replace('[_sp]', ' ')
    return texts


ENGLISH = english_texts()


def box_text(key, then=None):
    """What a box of that key shows (on one line), and for the staging's failures the start of
    the file's path that follows the text (then)."""
    text = ' '.join(ENGLISH[key].replace('Norvo PC Suite', KIT_PRODUCT).split())
    return (text, then)
