# Windows programs: each carries a manifest that makes UTF-8 its ANSI code page, so that paths
# and arguments never pass through a local 8-bit code page.
set(LEAFWARD_WINDOWS_RESOURCES ${PROJECT_SOURCE_DIR}/src/resources/windows)

function(leafward_windows_program target)
  target_sources(${target} PRIVATE ${LEAFWARD_WINDOWS_RESOURCES}/utf8_manifest.rc)
endfunction()
