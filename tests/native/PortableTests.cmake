# The unit tests of the portable core, relative to this folder.
set(PLUGSTART_PORTABLE_TESTS
  AutoplayPolicyTests.cpp
  AutosetArgumentTests.cpp
  CommandLineTests.cpp
  ConfigTextTests.cpp
  DevpokeRequestTests.cpp
  LanguageTableTests.cpp
  ModemNamesTests.cpp
  PipeProtocolTests.cpp
  ServiceVersionTextTests.cpp
  TranslationChoiceTests.cpp
  ValuePathTests.cpp
  VersionClassTests.cpp
  VersionTextTests.cpp
)
