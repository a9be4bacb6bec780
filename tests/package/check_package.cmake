# Builds the package into a scratch folder and checks it: one zip named by the
# version, holding exactly the DLL and the tool (no debug sections), the
# README, and every file of examples/ and docs/ in the source tree.
# Variables: CPACK, CONFIG (CPackConfig.cmake), SOURCE, VERSION, OBJDUMP, OUT.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${OUT} RESULT_VARIABLE failed OUTPUT_QUIET)
set(name orvik-${VERSION}-win64)
if(failed OR NOT EXISTS ${OUT}/${name}.zip)
    message(FATAL_ERROR "cpack (${failed}) gave no ${name}.zip")
endif()

file(GLOB_RECURSE extras RELATIVE ${SOURCE} ${SOURCE}/examples/* ${SOURCE}/docs/*)
set(expected orvik.dll orvik.exe README.md ${extras})
list(TRANSFORM expected PREPEND ${name}/)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${OUT}/${name}.zip OUTPUT_VARIABLE listing)
string(REGEX MATCHALL "[^\n]*[^/\n](\n|$)" entries "${listing}")  # files, not folders
list(TRANSFORM entries STRIP)
list(SORT expected)
list(SORT entries)
if(NOT entries STREQUAL expected)
    message(FATAL_ERROR "package holds\n  ${entries}\nexpected\n  ${expected}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${OUT}/${name}.zip WORKING_DIRECTORY ${OUT})
foreach(binary orvik.dll orvik.exe)
    execute_process(COMMAND ${OBJDUMP} -h ${OUT}/${name}/${binary} OUTPUT_VARIABLE sections)
    if(NOT sections MATCHES "\\.text" OR sections MATCHES "\\.debug")
        message(FATAL_ERROR "${binary}: unreadable, or debug sections left:\n${sections}")
    endif()
endforeach()
