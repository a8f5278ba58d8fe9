# Sources of the portable core: pure code without <windows.h>. They are part of the Windows
# build and are also built natively for fast unit tests and the fuzz targets.
set(PLUGSTART_PORTABLE_SOURCES
  app/CommandLine.cpp
  app/VersionClass.cpp
  autoplay/AutoplayPolicy.cpp
  autoplay/AutosetArgument.cpp
  autoplay/AutosetCommandLine.cpp
  tools/ToolArguments.cpp
  companion/DownloadCheck.cpp
  config/ConfigText.cpp
  config/LanguageEscapes.cpp
  config/LanguageTable.cpp
  config/RelativeName.cpp
  detect/ModemNames.cpp
  detect/TranslationChoice.cpp
  detect/VersionText.cpp
  registry/ValuePath.cpp
  core/PhoneData.cpp
  core/PhoneReply.cpp
  core/WorkerMessages.cpp
  devpoke/DevpokeRequest.cpp
  service/PipeProtocol.cpp
  service/ServiceVersionText.cpp
  skin/SkinLayout.cpp
  workflow/StagingPlan.cpp
  workflow/StatusText.cpp
)
