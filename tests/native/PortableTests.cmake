# The unit tests of the portable core, relative to this folder.
set(PLUGSTART_PORTABLE_TESTS
  CommandLineTests.cpp
  ConfigTextTests.cpp
  DevpokeRequestTests.cpp
  DownloadCheckTests.cpp
  LanguageTableTests.cpp
  ModemNamesTests.cpp
  PipeProtocolTests.cpp
  SkinLayoutTests.cpp
  StagingPlanTests.cpp
  StatusTextTests.cpp
  ServiceVersionTextTests.cpp
  TranslationChoiceTests.cpp
  ValuePathTests.cpp
  VersionClassTests.cpp
  VersionTextTests.cpp
)
