# Installs the build BUILD into the fresh prefix PREFIX and checks what a desktop needs of it: the
# program, a valid desktop entry that starts it with the files given, and the icon the entry names.
#   cmake -DBUILD=<build dir> -DPREFIX=<temporary dir> [-DVALIDATE=<desktop-file-validate>] -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed (${rc}):\n${out}")
endif()

set(program "${PREFIX}/bin/canvello")
set(entry "${PREFIX}/share/applications/canvello.desktop")
set(icon "${PREFIX}/share/icons/hicolor/scalable/apps/canvello.svg")
foreach(f IN ITEMS "${program}" "${entry}" "${icon}")
  if(NOT EXISTS "${f}")
    message(FATAL_ERROR "not installed: ${f}\n${out}")
  endif()
endforeach()

file(READ "${entry}" content)
set(content "\n${content}\n")
foreach(expected IN ITEMS "Exec=canvello %F" "Icon=canvello" "MimeType=image/bmp;image/jpeg;image/gif;")
  string(FIND "${content}" "\n${expected}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "${entry} lacks the line \"${expected}\"")
  endif()
endforeach()
if(NOT content MATCHES "\nCategories=([^\n]*;)?Graphics;")
  message(FATAL_ERROR "${entry} is not in the Graphics category")
endif()

if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate rejects ${entry}:\n${out}")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
