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
foreach(file tolvarine.exe config.dat options.dat lib/tolvarine-convert.jar lib/batik-all.jar
             lib/fop-core.jar)
  if(NOT EXISTS ${out}/${top}/${file})
    message(FATAL_ERROR "the zip lacks ${file}")
  endif()
endforeach()
# config.dat starts the converter's jar, every jar its manifest names is in the zip beside it,
# and the producer text was found.
file(READ ${out}/${top}/config.dat config)
if(NOT config MATCHES " -jar \\[{EXEDIR}\\\\lib\\\\tolvarine-convert.jar\\]\r?\n"
   OR config MATCHES " -cp ")
  message(FATAL_ERROR "config.dat does not start the converter's jar with -jar:\n${config}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${out}/${top}/lib/tolvarine-convert.jar
  META-INF/MANIFEST.MF WORKING_DIRECTORY ${out})
file(READ ${out}/META-INF/MANIFEST.MF manifest)
string(REGEX REPLACE "\r?\n " "" manifest "${manifest}")
if(NOT manifest MATCHES "Class-Path: ([^\r\n]+)")
  message(FATAL_ERROR "the converter's jar names no jars:\n${manifest}")
endif()
string(REPLACE " " ";" jars "${CMAKE_MATCH_1}")
foreach(jar ${jars})
  if(NOT EXISTS ${out}/${top}/lib/${jar})
    message(FATAL_ERROR "the converter's manifest names ${jar}, which the zip's lib lacks")
  endif()
endforeach()
# The converter writes UTF-8, which the launcher shows on a console as text.
if(NOT config MATCHES " -Dsun.stdout.encoding=UTF-8 -Dsun.stderr.encoding=UTF-8 ")
  message(FATAL_ERROR "config.dat leaves the converter's text in the ANSI code page:\n${config}")
endif()
if(NOT config MATCHES "ConverterProducerText=\\(Apache FOP Version [^\n]+\\)\n")
  message(FATAL_ERROR "config.dat names no producer text found by a conversion:\n${config}")
endif()
# Compared as files: a text read into CMake loses its carriage returns. The zip's help has CR
# LF line ends, like the launcher's own line after it.
execute_process(COMMAND wine ${out}/${top}/tolvarine.exe --help
  OUTPUT_FILE ${out}/help.txt RESULT_VARIABLE status)
file(READ ${SOURCE_DIR}/installation/options.dat expected)
string(REPLACE "\n" "\r\n" expected "${expected}\n")
file(WRITE ${out}/expected-help.txt "${expected}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${out}/help.txt
  ${out}/expected-help.txt RESULT_VARIABLE differs)
file(READ ${out}/help.txt help)
if(NOT status EQUAL 0 OR differs)
  message(FATAL_ERROR "the packaged launcher's help differs (status ${status}):\n${help}")
endif()
message(STATUS "package ${zips} is a working installation")
