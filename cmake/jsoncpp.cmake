# JsonCpp, compiled from the distribution's source package that
# scripts/setup unpacks under deps/, as a static library of this build.
set(ORVIK_JSONCPP_SOURCE ${PROJECT_SOURCE_DIR}/deps/src/libjsoncpp-1.9.5 CACHE PATH "JsonCpp source tree")
if(NOT EXISTS ${ORVIK_JSONCPP_SOURCE}/src/lib_json/json_reader.cpp)
    message(FATAL_ERROR "JsonCpp sources not found at ${ORVIK_JSONCPP_SOURCE}; run scripts/setup")
endif()
add_library(jsoncpp STATIC
    ${ORVIK_JSONCPP_SOURCE}/src/lib_json/json_reader.cpp
    ${ORVIK_JSONCPP_SOURCE}/src/lib_json/json_value.cpp
    ${ORVIK_JSONCPP_SOURCE}/src/lib_json/json_writer.cpp
)
target_include_directories(jsoncpp SYSTEM PUBLIC ${ORVIK_JSONCPP_SOURCE}/include)
target_compile_options(jsoncpp PRIVATE -w)
