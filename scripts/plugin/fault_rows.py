"""What the user sees and what of the job is done when a plug-in meets each fault of the plug-in
run (faults.py), on a clean PC of an administrator with the image's kit (type 1): the rows the
end-to-end suite asserts and the PC matrix expects.

The job's parts: the driver installed, the kit installed, the device switched to modem mode, the
kit's program started."""
from .texts import box_text

JOB = ('driver', 'kit', 'switched', 'launched')
SCSI_NOT_FOUND = box_text('STR_STRING_ERROR_SCSI_0_1')
DRIVER_NOT_INSTALLED = box_text('STR_STRING_DRV_NOT_INSTALL_NOTIFY')
KIT_NOT_INSTALLED = box_text('STR_STRING_PCSUITE_NOT_INSTALL')
BAD_CONFIG = box_text('STR_STRING_ERROR_CANNOT_FIND_CONFIG')
NO_FOLDER = box_text('STR_STRING_APP_INIT_FAILED_000')
EVERYTHING = [set(JOB)]


TEMPLATES = 'C:\\users\\'  # the start of the staging folder's path, whoever the user


def not_copied(source):
    return box_text('STR_STRING_APP_INIT_FAILED_002', source)


class FaultRow:
    """fault: its name; windows: the Windows of the default suite ('both': always both); boxes:
    what the user sees (None: not fixed, as Wine lets some through); done: the sets of the job's
    parts that may have been done (one of them exactly)."""

    def __init__(self, fault, windows, boxes, done):
        self.fault, self.windows, self.boxes, self.done = fault, windows, boxes, done


FAULT_ROWS = [
    FaultRow('unplug-in-driver-setup', 'xp', [SCSI_NOT_FOUND], [{'driver', 'kit'}]),
    FaultRow('unplug-in-kit-setup', '7', [SCSI_NOT_FOUND], [{'driver', 'kit'}]),
    FaultRow('unplug-before-mode-change', 'xp', [SCSI_NOT_FOUND], [{'driver', 'kit'}]),
    FaultRow('driver-setup-crash', '7', [DRIVER_NOT_INSTALLED], [{'switched'}]),
    FaultRow('kit-setup-crash', 'xp', [KIT_NOT_INSTALLED], [{'driver', 'switched'}]),
    FaultRow('driver-setup-fails', 'both', [DRIVER_NOT_INSTALLED], [{'switched'}]),
    FaultRow('kit-setup-fails', '7', [KIT_NOT_INSTALLED], [{'driver', 'switched'}]),
    FaultRow('staging-disk-full', 'xp', [not_copied('R:\\')], [set()]),
    FaultRow('staging-read-only', '7', [NO_FOLDER], [set()]),
    FaultRow('staging-file-locked', 'xp', [not_copied('R:\\config.ini')], [set()]),
    FaultRow('staging-file-scanned', '7', [], EVERYTHING),
    # Wine cannot remove a link of its host: the staging refuses it (Windows removes it and stages).
    FaultRow('staging-linked', 'xp', [not_copied(TEMPLATES)], [set()]),
    FaultRow('staging-hard-link', '7', [], EVERYTHING),
    FaultRow('config-missing', '7', [BAD_CONFIG], [set()]),
    FaultRow('config-empty', 'xp', [BAD_CONFIG], [set()]),
    FaultRow('config-garbage', '7', [BAD_CONFIG], [set()]),
    FaultRow('config-10mb', 'xp', [], EVERYTHING),
    FaultRow('config-utf16-no-bom', '7', [BAD_CONFIG], [set()]),
    FaultRow('config-sections-missing', 'xp', [box_text('STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY'),
                                               DRIVER_NOT_INSTALLED], [{'switched'}]),
    FaultRow('language-truncated', '7', [], EVERYTHING),
    FaultRow('language-missing-keys', 'xp', [], EVERYTHING),
    FaultRow('language-wrong-encoding', '7', [], EVERYTHING),
    # Posted by another process, these take the Cancel path (the job stops after the running
    # setup) or are ignored (the job is done); the dialog never ends under its worker.
    FaultRow('post-ok', 'xp', [], EVERYTHING + [{'driver', 'switched'}]),
    FaultRow('post-close', '7', [], EVERYTHING + [{'driver', 'switched'}]),
    FaultRow('post-sysclose', 'xp', [], EVERYTHING + [{'driver', 'switched'}]),
    FaultRow('copydata-flood', 'both', None, EVERYTHING),
]


def row_of(fault):
    for row in FAULT_ROWS:
        if row.fault == fault:
            return row
    raise KeyError('no row for the fault %s' % fault)
