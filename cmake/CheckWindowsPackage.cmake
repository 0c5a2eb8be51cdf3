# Builds the Windows zip with CPack, unpacks it, checks it is laid out as an installation, and
# runs the packaged launcher under Wine for its help text.
# Called as: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -P CheckWindowsPackage.cmake
set(out ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND cpack -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${out}
  RESULT_VARIABLE status OUTPUT_QUIET)
file(GLOB zips ${out}/*.zip)
if(NOT status EQUAL 0 OR NOT zips)
  message(FATAL_ERROR "cpack made no zip")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zips} WORKING_DIRECTORY ${out})
get_filename_component(top ${zips} NAME_WLE)
foreach(file tolvarine.exe config.dat options.dat lib/tolvarine-convert.jar lib/batik-all.jar)
  if(NOT EXISTS ${out}/${top}/${file})
    message(FATAL_ERROR "the zip lacks ${file}")
  endif()
endforeach()
execute_process(COMMAND wine ${out}/${top}/tolvarine.exe --help
  OUTPUT_VARIABLE help RESULT_VARIABLE status)
file(READ ${SOURCE_DIR}/installation/options.dat expected)
string(REPLACE "\r\n" "\n" help "${help}")
if(NOT status EQUAL 0 OR NOT help STREQUAL "${expected}\n")
  message(FATAL_ERROR "the packaged launcher's help differs (status ${status}):\n${help}")
endif()
message(STATUS "package ${zips} is a working installation")
