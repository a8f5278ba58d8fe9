"""What the maker's real installers put onto a PC, as Windows Installer packages made from a device
image's config.ini: per driver family and kit type the product code of the uninstall entry by
which the PC knows the product (Windows Installer writes it, with DisplayVersion, when it installs
the package), the files with their version, and the registry values. A driver package also does
what Windows does when it installs the driver for the plugged-in device: the device's enumeration
keys and its entries in the USB, Modem and Ports device classes.

Everything that comes from config.ini is checked here before any package source is made of it: a
version Windows Installer can carry, file names that stay inside their folder."""
import re
import uuid

# The product codes of the maker's packages, as their uninstall entries name them.
QCT_DRIVERS_CODE = '{F6082B9D-4E13-4C7A-B5E2-3D9A61C07E85}'         # "Drivers" folder edition
QCT_DRIVERS_SECOND_CODE = '{C1935E7B-2A48-4F06-8D1C-7B3E90A5D264}'  # the same edition's second code
QCT_DRIVER_CODE = '{A47F1C03-6B2E-4D85-B390-5E1D7C28F94B}'          # "Driver" folder edition
EMP_CODE = '{8E2D6A14-3C90-4F7B-A1D5-92B7C0E4F613}'
K21C_CODE = '{5B0C31E2-7D4A-4E19-9C2B-1A6F83D2E7A0}'                # connection manager with the K21C driver
VTP_KIT_CODE = '{7E4B90C2-1F5D-4A38-96CB-E2A07D5B8F19}'
NORVO_KIT_CODE = '{2D71E8A5-9B06-4F3C-A4E7-C85B1D0F3A62}'
# The PC suite and the DCM connection manager are known by their user keys; their packages still
# have product codes, of our own.
PC_SUITE_CODE = '{6C1D3A52-8E47-4B19-A0F3-2D95B7E1C804}'
CONNECTION_MANAGER_CODE = '{93E5B217-4AD0-4C6E-8F12-7B0A5D3C9E61}'
# All the removers of a family take away.
QCT_CODES = (QCT_DRIVERS_CODE, QCT_DRIVERS_SECOND_CODE, QCT_DRIVER_CODE)

# The products by their uninstall entries: (role, what), for what a run installed or removed.
PRODUCTS = {QCT_DRIVERS_CODE: ('driver', 'QCT'), QCT_DRIVERS_SECOND_CODE: ('driver', 'QCT'),
            QCT_DRIVER_CODE: ('driver', 'QCT'), EMP_CODE: ('driver', 'EMP'), K21C_CODE: ('driver', 'FOMA_K21C'),
            VTP_KIT_CODE: ('kit', 'kit 0'), NORVO_KIT_CODE: ('kit', 'kit 1'), PC_SUITE_CODE: ('kit', 'kit 2'),
            CONNECTION_MANAGER_CODE: ('kit', 'kit 3')}

USB_CLASS = 'SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}'
MODEM_CLASS = 'SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}'
PORTS_CLASS = 'SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}'
ENUM_USB = 'SYSTEM\\CurrentControlSet\\Enum\\USB\\'
# The entry a package takes in each device class: the simulated PC has no other device of these
# classes, so the first number, which the class's numbering starts with.
CLASS_ENTRY = '0000'
EMP_FOLDER = ('Norvo Electronics', 'Norvo MC USB R880 Driver')
EMP_FILES = ('norvomdbus.sys', 'norvomdcm.sys', 'norvomdcmnt.sys', 'norvomdmdfl.sys', 'norvomdmdm.sys',
             'norvomdmgmt.sys', 'norvomdobex.sys', 'norvomdwhnt.sys')
QCT_FILES = ('norvousbbus.sys', 'norvousbdiag.sys', 'norvousbmodem.sys')
# The version the earlier run of an outdated PC installed.
OUTDATED_VERSION = '0.1.0.0'
DEFAULT_RUN_FILE = 'InternetKit.exe'
PC_SUITE_PROGRAM = 'Norvo_PCSuiteIII.exe'
# A plain file name: no folder, no drive, nothing a package source would read as markup or a variable.
PLAIN_NAME = re.compile(r'[A-Za-z0-9_][A-Za-z0-9 _.()-]{0,99}')
# A name beside the program, perhaps in a folder of it ("tools\Remover.exe").
IMAGE_PATH = re.compile(r'%s(\\%s)*' % (PLAIN_NAME.pattern, PLAIN_NAME.pattern))


class PackageError(Exception):
    """config.ini asks for something no real installer can be made of (the reason says what)."""


def product_version(text, what):
    """A version Windows Installer can carry as ProductVersion (one to four numbers, the first two at
    most 255, the others at most 65535), written as config.ini writes it."""
    text = (text or '').strip()
    fields = text.split('.')
    if not re.fullmatch(r'\d{1,5}(\.\d{1,5}){0,3}', text) or any(int(f) > 65535 for f in fields):
        raise PackageError('%s "%s" is no version of one to four numbers up to 65535' % (what, text))
    if any(int(f) > 255 for f in fields[:2]):
        raise PackageError('%s "%s": Windows Installer takes at most 255 in the first two numbers' % (what, text))
    return text


def four_numbers(version):
    """A version as four numbers, as a version resource holds it: 2.1 is 2.1.0.0."""
    fields = version.split('.')
    return '.'.join(fields + ['0'] * (4 - len(fields)))


def plain_name(text, what):
    if not PLAIN_NAME.fullmatch(text or '') or text.strip('. ') != text or '..' in text:
        raise PackageError('%s "%s" is no plain file name' % (what, text))
    return text


def image_path(text, what):
    """A name of the image beside the program, as config.ini names it (folders by backslashes)."""
    if not IMAGE_PATH.fullmatch(text or '') or any(part.strip('. ') != part or '..' in part
                                                   for part in text.split('\\')):
        raise PackageError('%s "%s" is no name of a file beside the program' % (what, text))
    return text


class Package:
    """One Windows Installer package: its product, version and title; folder: its folder under
    Program Files (names); files: the names in that folder; driver_files: the names in the system's
    drivers folder; registry: (root, key, name, value) with the package folder as [INSTALLDIR];
    install_location: the uninstall entry names the folder; hold_ms: how long its programs stay
    when started. Every file is a version carrier of the package's version."""

    def __init__(self, role, what, code, title, version, folder, files, driver_files=(), registry=(),
                 install_location=False):
        self.role, self.what, self.code, self.title, self.version = role, what, code, title, version
        self.folder, self.files, self.driver_files = tuple(folder), tuple(files), tuple(driver_files)
        self.registry, self.install_location = tuple(registry), install_location

    def upgrade_code(self):
        return '{%s}' % str(uuid.uuid5(uuid.NAMESPACE_URL, 'norvo-package:' + self.code)).upper()

    def key(self):
        """Everything the package is made of, for the cache."""
        return repr(sorted(self.__dict__.items()))


def device_registration(enum_keys, class_names):
    """What Windows writes when it installs the driver for the device: its enumeration keys and one
    entry in each device class (USB, Modem, Ports) named by DriverDesc."""
    values = [('HKLM', ENUM_USB + key, 'DeviceDesc', class_names[0]) for key in enum_keys]
    for class_key, name in zip((USB_CLASS, MODEM_CLASS, PORTS_CLASS), class_names):
        entry = class_key + '\\' + CLASS_ENTRY
        values += [('HKLM', entry, 'DriverDesc', name), ('HKLM', entry, 'ProviderName', 'Norvo Electronics')]
    return values


def driver_package(family, version, program_sees_64bit):
    """The driver package of a family (config.ini's driver_type). program_sees_64bit: the program
    takes the PC for a 64-bit Windows (it runs under WOW64), which chooses the EMP package's folder."""
    family = (family or 'QCT').strip().upper()
    version = product_version(version, 'driver_version')
    if family == 'QCT':
        return Package('driver', 'QCT', QCT_DRIVERS_CODE, 'Norvo USB Modem Drivers', version,
                       ('Norvo Electronics', 'Norvo USB Modem Drivers'), QCT_FILES, QCT_FILES,
                       device_registration(('Vid_2C7D&Pid_7A10', 'VID_2C7D&PID_7A10_DIAGInterface',
                                            'VID_2C7D&PID_7A10_MODEMInterface'),
                                           ('NorvoE Mobile Composite USB Device', 'NorvoE Mobile USB Modem',
                                            'NorvoE Mobile USB Serial Port')))
    if family == 'EMP':
        platform = ('Norvo64', 'amd64') if program_sees_64bit else ('Norvo32', 'i386')
        return Package('driver', 'EMP', EMP_CODE, 'Norvo MC USB R880 Driver', version, EMP_FOLDER + platform,
                       EMP_FILES, EMP_FILES,
                       device_registration(('Vid_2C7D&Pid_7A21', 'Vid_2C7D&Pid_7A21&Mi_01'),
                                           ('Norvo Mobile', 'Norvo Mobile USB WMC Data Modem',
                                            'Norvo Mobile USB WMC OBEX Interface')))
    if family == 'FOMA_K21C':
        return Package('driver', 'FOMA_K21C', K21C_CODE, 'K-21C Connection Manager', version,
                       ('K-21C Connection Manager',), ('K21cbus.sys', 'K21cmdm.sys'), install_location=True)
    raise PackageError('driver_type "%s" is no driver family (QCT, EMP or FOMA_K21C)' % family)


def kit_package(kit_type, version, run_file):
    """The kit package of a kit type (config.ini's itk_type) with its program (itk_run_file)."""
    version = product_version(version, 'itk_version')
    run_file = plain_name((run_file or '').strip() or DEFAULT_RUN_FILE, 'itk_run_file')
    if kit_type == 0:
        return Package('kit', 'kit 0', VTP_KIT_CODE, 'Via The Phone', version, ('Vodafone', 'Via The Phone'),
                       (run_file,))
    if kit_type == 1:
        files = ('NorvoInternetKit.exe',) + ((run_file,) if run_file.lower() != 'norvointernetkit.exe' else ())
        return Package('kit', 'kit 1', NORVO_KIT_CODE, 'Norvo Internet Kit', version, ('NorvoInternetKit',), files)
    if kit_type == 2:
        key = 'Software\\Norvo Electronics Inc\\Norvo PC Suite III'
        return Package('kit', 'kit 2', PC_SUITE_CODE, 'Norvo PC Suite III', version,
                       ('Norvo Electronics', 'Norvo PC Suite III'), (PC_SUITE_PROGRAM,),
                       registry=[('HKCU', key, 'InstallPath', '[INSTALLDIR]' + PC_SUITE_PROGRAM)])
    if kit_type == 3:
        return Package('kit', 'kit 3', CONNECTION_MANAGER_CODE, 'K-21C Connection Manager', version,
                       ('K-21C Connection Manager',), (run_file,),
                       registry=[('HKCU', 'Software\\K-21C-ConnectionManager', 'CM_Install_path', '[INSTALLDIR]')])
    raise PackageError('itk_type "%s" is no kit type (0 to 3)' % kit_type)


class Installer:
    """One program of the image that the run makes: name (as config.ini names it, beside the
    program), kind ('setup' with its package, or 'remover' with the product codes it removes).
    A setup's package is made of config.ini's values only when it is asked for (a maker's own
    setup on the image needs none): package_of, a function that makes it or raises PackageError."""

    def __init__(self, name, kind, package_of=None, codes=(), title=''):
        self.name, self.kind, self.codes, self.title = name, kind, tuple(codes), title
        self._package_of, self._package = package_of, None

    @property
    def package(self):
        if self._package is None and self._package_of:
            self._package = self._package_of()
        return self._package


def kit_type_of(config):
    text = config.get('itk', {}).get('itk_type', '0').strip()
    if not text.isdigit():
        raise PackageError('itk_type "%s" is no kit type (0 to 3)' % text)
    return int(text)


def installers_of(config, program_sees_64bit, older=()):
    """The real installers an image's config.ini ({section: {key: value}}, lower case) names: the
    driver setup, the kit setup, the QCT remover (UninstallMSI.exe) and the EMP remover, each with
    what it installs or removes. older: the roles ('driver', 'kit') whose package is the outdated
    version an earlier run installed."""
    driver, kit = config.get('driver', {}), config.get('itk', {})
    family = (driver.get('driver_type') or 'QCT').strip().upper()
    found = []
    if driver.get('driver_name', '').strip():
        version = OUTDATED_VERSION if 'driver' in older else driver.get('driver_version', '')
        found.append(Installer(image_path(driver['driver_name'].strip(), 'driver_name'), 'setup',
                               lambda v=version: driver_package(family, v, program_sees_64bit)))
    if kit.get('itk_setup', '').strip():
        version = OUTDATED_VERSION if 'kit' in older else kit.get('itk_version', '')
        found.append(Installer(image_path(kit['itk_setup'].strip(), 'itk_setup'), 'setup',
                               lambda v=version: kit_package(kit_type_of(config), v, kit.get('itk_run_file', ''))))
    if family == 'QCT':
        found.append(Installer('UninstallMSI.exe', 'remover', codes=QCT_CODES, title='Norvo USB Modem Drivers'))
    remover = driver.get('emp_uninstall_linkfile', '').strip()
    if family == 'EMP' and remover:
        found.append(Installer(image_path(remover, 'emp_uninstall_linkfile'), 'remover', codes=(EMP_CODE,),
                               title='Norvo MC USB R880 Driver'))
    names = [i.name.lower() for i in found]
    if len(set(names)) < len(names):
        raise PackageError('config.ini names one file for two installers: %s' % ', '.join(i.name for i in found))
    return found
