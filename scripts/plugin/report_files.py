"""The files a report writes into its folder, kept in a list there, so that the next report
removes what the last one wrote and nothing else (a folder given by --report-dir may hold files
of its own)."""
import os

LIST_NAME = '.plugin-report-files'


def _listed(report_dir):
    try:
        with open(os.path.join(report_dir, LIST_NAME), encoding='utf-8') as f:
            names = [line.rstrip('\n') for line in f if line.strip()]
    except OSError:
        return []
    # Only names inside the folder: the list is a file like any other there.
    return [n for n in names if not os.path.isabs(n) and '..' not in n.replace('\\', '/').split('/')]


def remove_earlier(report_dir):
    """Removes the files that the last report listed, and the folders they leave empty."""
    folders = set()
    for name in _listed(report_dir):
        path = os.path.join(report_dir, name)
        if os.path.isfile(path) and not os.path.islink(path):
            os.remove(path)
        folder = os.path.dirname(name)
        while folder:
            folders.add(folder)
            folder = os.path.dirname(folder)
    for folder in sorted(folders, key=len, reverse=True):
        try:
            os.rmdir(os.path.join(report_dir, folder))
        except OSError:
            pass  # it holds something else
    list_path = os.path.join(report_dir, LIST_NAME)
    if os.path.exists(list_path):
        os.remove(list_path)


def record(report_dir, paths):
    """Lists the files this report wrote (paths inside report_dir)."""
    with open(os.path.join(report_dir, LIST_NAME), 'w', encoding='utf-8') as f:
        for path in paths:
            f.write(os.path.relpath(path, report_dir) + '\n')
