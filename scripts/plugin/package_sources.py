"""The WiX source of a Windows Installer package (packages.Package), for wixl: one component per
file and per registry value, each with a component code of its own that stays the same from one
version of the package to the next, all in one feature. Every file of the package is made from one
version carrier (carrier.exe beside the source). A 64-bit package installs into the 64-bit
Program Files and system folders and writes the 64-bit registry view."""
import uuid
from xml.etree import ElementTree

WIX = 'http://schemas.microsoft.com/wix/2006/wi'
CARRIER = 'carrier.exe'


def component_code(package, what):
    """The component code of one file or value of a product: the same in every version."""
    return '{%s}' % str(uuid.uuid5(uuid.NAMESPACE_URL, 'norvo-component:%s:%s' % (package.code, what))).upper()


class Source:
    """The source being made: its element tree and its components, numbered in order."""

    def __init__(self, package, x64):
        self.package, self.x64 = package, x64
        self.components = []

    def component(self, parent, what):
        component = ElementTree.SubElement(parent, 'Component', Id='C%d' % (len(self.components) + 1),
                                           Guid=component_code(self.package, what))
        if self.x64:
            component.set('Win64', 'yes')
        self.components.append(component.get('Id'))
        return component

    def files(self, folder, names, where):
        for name in names:
            component = self.component(folder, '%s\\%s' % (where, name.lower()))
            ElementTree.SubElement(component, 'File', Id='F%d' % len(self.components), Name=name, Source=CARRIER,
                                   KeyPath='yes')

    def registry(self, parent, values):
        for root, key, name, value in values:
            component = self.component(parent, '%s\\%s\\%s' % (root, key.lower(), name.lower()))
            registry_key = ElementTree.SubElement(component, 'RegistryKey', Root=root, Key=key)
            ElementTree.SubElement(registry_key, 'RegistryValue', Name=name, Type='string', Value=value,
                                   KeyPath='yes')


def folders(parent, names, last_id):
    """The nested folders of names under parent; the innermost gets last_id."""
    for number, name in enumerate(names):
        parent = ElementTree.SubElement(parent, 'Directory', Id=last_id if number == len(names) - 1 else
                                        '%s_%d' % (last_id, number), Name=name)
    return parent


def wix_source(package, x64):
    """The text of the .wxs file of package, 64-bit when x64."""
    source = Source(package, x64)
    wix = ElementTree.Element('Wix', xmlns=WIX)
    product = ElementTree.SubElement(wix, 'Product', Id=package.code, Name=package.title, Language='1033',
                                     Version=package.version, Manufacturer='Norvo Electronics',
                                     UpgradeCode=package.upgrade_code())
    ElementTree.SubElement(product, 'Package', InstallerVersion='200', Compressed='yes', InstallScope='perMachine',
                           Description=package.title, Comments='%s %s' % (package.title, package.version))
    ElementTree.SubElement(product, 'Media', Id='1', Cabinet='package.cab', EmbedCab='yes')
    if package.install_location:
        # The uninstall entry's InstallLocation is the package folder, as it was chosen.
        ElementTree.SubElement(product, 'CustomAction', Id='NameInstallLocation', Property='ARPINSTALLLOCATION',
                               Value='[INSTALLDIR]')
        sequence = ElementTree.SubElement(product, 'InstallExecuteSequence')
        ElementTree.SubElement(sequence, 'Custom', Action='NameInstallLocation', After='CostFinalize')
    target = ElementTree.SubElement(product, 'Directory', Id='TARGETDIR', Name='SourceDir')
    program_files = ElementTree.SubElement(target, 'Directory',
                                           Id='ProgramFiles64Folder' if x64 else 'ProgramFilesFolder')
    install_dir = folders(program_files, package.folder, 'INSTALLDIR')
    source.files(install_dir, package.files, 'package')
    source.registry(install_dir, package.registry)
    if package.driver_files:
        system = ElementTree.SubElement(target, 'Directory', Id='System64Folder' if x64 else 'SystemFolder')
        source.files(folders(system, ('drivers',), 'DRIVERSDIR'), package.driver_files, 'drivers')
    feature = ElementTree.SubElement(product, 'Feature', Id='Complete', Level='1', Title=package.title)
    for component in source.components:
        ElementTree.SubElement(feature, 'ComponentRef', Id=component)
    text = ElementTree.tostring(wix, encoding='unicode')
    return '<?xml version="1.0" encoding="utf-8"?>\n' + text + '\n'
