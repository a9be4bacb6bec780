# Builds the package in a scratch folder: one zip named by the version, holding
# exactly the DLL and the tool (no debug sections), the README, and the files
# of examples/ and docs/. Needs CPACK, CONFIG, SOURCE, VERSION, OBJDUMP, OUT.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${OUT} OUTPUT_QUIET)
set(name orvik-${VERSION}-win64)
file(GLOB_RECURSE expected RELATIVE ${SOURCE} ${SOURCE}/examples/* ${SOURCE}/docs/*)
list(APPEND expected orvik.dll orvik.exe README.md)
list(TRANSFORM expected PREPEND ${name}/)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${OUT}/${name}.zip OUTPUT_VARIABLE listing)
string(REGEX MATCHALL "[^\n]*[^/\n]\n" entries "${listing}")  # files, not folders
list(TRANSFORM entries STRIP)
list(SORT expected)
list(SORT entries)
if(NOT entries STREQUAL expected)
    message(FATAL_ERROR "${name}.zip holds\n  ${entries}\nexpected\n  ${expected}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${OUT}/${name}.zip WORKING_DIRECTORY ${OUT})
execute_process(COMMAND ${OBJDUMP} -h ${OUT}/${name}/orvik.dll ${OUT}/${name}/orvik.exe OUTPUT_VARIABLE sections)
string(REGEX MATCHALL "\\.text" text "${sections}")
if(NOT text STREQUAL ".text;.text" OR sections MATCHES "\\.debug")
    message(FATAL_ERROR "not two readable binaries without debug sections:\n${sections}")
endif()
