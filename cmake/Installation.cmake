# Lays out a working installation: the launcher, its config.dat and options.dat, and the
# converter's entry point (a small jar) beside the Batik and FOP jars from Debian's packages.
set(TOLVARINE_JAVA_LIBRARIES /usr/share/java CACHE PATH "Folder of the Batik and FOP jars")
set(TOLVARINE_CONVERTER_JARS
  batik-all.jar fop-transcoder-allinone.jar xmlgraphics-commons.jar xml-apis-ext.jar
  commons-io.jar commons-logging.jar)
set(TOLVARINE_JAVA_HOME /usr/lib/jvm/default-java CACHE PATH
  "Java runtime the Linux installation links in as its private runtime")

install(TARGETS tolvarine RUNTIME DESTINATION . COMPONENT launcher)
install(FILES installation/options.dat DESTINATION . COMPONENT launcher)

find_package(Java COMPONENTS Development QUIET)
set(converter_classpath)
foreach(jar ${TOLVARINE_CONVERTER_JARS})
  list(APPEND converter_classpath ${TOLVARINE_JAVA_LIBRARIES}/${jar})
endforeach()
if(NOT Java_JAVAC_EXECUTABLE OR NOT EXISTS ${TOLVARINE_JAVA_LIBRARIES}/batik-all.jar)
  message(STATUS "No javac or no Batik jars: the installation will lack the converter")
  return()
endif()

include(UseJava)
set(CMAKE_JAVA_COMPILE_FLAGS --release 11)
add_jar(tolvarine_convert
  SOURCES installation/TolvarineConvert.java
  INCLUDE_JARS ${converter_classpath}
  OUTPUT_NAME tolvarine-convert)
install_jar(tolvarine_convert DESTINATION lib COMPONENT launcher)

if(WIN32)
  # The Windows installation carries its jars; the Java runtime is the machine's or downloaded.
  install(FILES installation/config-windows.dat DESTINATION . RENAME config.dat
    COMPONENT launcher)
  install(FILES ${converter_classpath} DESTINATION lib COMPONENT launcher)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME tolvarine)
  set(CPACK_PACKAGE_FILE_NAME tolvarine-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
else()
  string(REPLACE ";" ":" TOLVARINE_CONVERTER_CLASSPATH "${converter_classpath}")
  configure_file(installation/config-linux.dat.in ${CMAKE_BINARY_DIR}/config.dat @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/config.dat DESTINATION . COMPONENT launcher)
  # The machine's Java becomes the installation's private runtime, so no version test or
  # download is needed to find it.
  install(CODE "
    set(jre \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/jre\")
    if(NOT EXISTS \"\${jre}\" AND EXISTS \"${TOLVARINE_JAVA_HOME}/bin/java\")
      file(CREATE_LINK \"${TOLVARINE_JAVA_HOME}\" \"\${jre}\" SYMBOLIC)
    endif()" COMPONENT launcher)
endif()
