# Lays out a working installation: the launcher, its config.dat and options.dat, and the
# converter's entry point (a small jar) beside the Batik and FOP jars from Debian's packages.
set(TOLVARINE_JAVA_LIBRARIES /usr/share/java CACHE PATH "Folder of the Batik and FOP jars")
# FOP's core (not only its transcoder jar), whose font detection and embedding text outside
# Latin-1 needs.
set(TOLVARINE_CONVERTER_JARS
  fop-core.jar fop-events.jar fop-util.jar batik-all.jar xmlgraphics-commons.jar
  xml-apis-ext.jar commons-io.jar commons-logging.jar)
set(TOLVARINE_JAVA_HOME /usr/lib/jvm/default-java CACHE PATH
  "Java runtime the Linux installation links in as its private runtime")

install(TARGETS tolvarine RUNTIME DESTINATION . COMPONENT launcher)
if(NOT WIN32)
  # The waiting converter converts the drawing of the classes that conversions use once, so
  # that the first conversion handed to it finds them loaded.
  install(TARGETS tolvarine_hand RUNTIME DESTINATION lib COMPONENT launcher)
  install(FILES installation/classes.svg DESTINATION lib RENAME tolvarine-classes.svg
    COMPONENT launcher)
endif()
if(WIN32)
  # On Windows the help's lines end in CR LF, as the launcher's own line after it does.
  configure_file(installation/options.dat options.dat @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/options.dat DESTINATION . COMPONENT launcher)
else()
  install(FILES installation/options.dat DESTINATION . COMPONENT launcher)
endif()

find_package(Java COMPONENTS Development QUIET)
set(converter_classpath)
# The converter is compiled against this machine's jars.
foreach(jar ${TOLVARINE_CONVERTER_JARS})
  list(APPEND converter_classpath ${TOLVARINE_JAVA_LIBRARIES}/${jar})
endforeach()
if(NOT Java_JAVAC_EXECUTABLE OR NOT EXISTS ${TOLVARINE_JAVA_LIBRARIES}/batik-all.jar)
  message(STATUS "No javac or no Batik jars: the installation will lack the converter")
  return()
endif()

# The converter's jar names the jars it needs in its manifest and config.dat starts it with
# -jar, so no folder's name is ever on a class path, where a ':' or ';' in it would split it
# into entries relative to the current folder. The names are relative to the jar's folder: the
# Windows zip carries the jars there, and a Linux installation links them there from the
# machine's, as the class-data archive takes only such names. On Linux the machine's jars follow
# as file: URLs, so the converter's jar also runs without those links.
set(manifest_entries ${TOLVARINE_CONVERTER_JARS})
if(NOT WIN32)
  foreach(jar ${TOLVARINE_CONVERTER_JARS})
    string(REPLACE "%" "%25" url "${TOLVARINE_JAVA_LIBRARIES}/${jar}")
    string(REPLACE " " "%20" url "${url}")
    list(APPEND manifest_entries "file:${url}")
  endforeach()
endif()
# A manifest line goes on after a line end and one blank; the second blank parts the names.
list(JOIN manifest_entries "\n  " class_path)
file(CONFIGURE OUTPUT tolvarine-convert.manifest CONTENT "Class-Path: ${class_path}\n")

include(UseJava)
set(CMAKE_JAVA_COMPILE_FLAGS --release 11 -XDstringConcat=inline)
set(converter_sources Colours FontChoice FontList Fonts Leniency Main Messages Options PageSize
  PathData References SafeOutput Server Timings UsageError)
list(TRANSFORM converter_sources PREPEND src/converter/tolvarine/convert/)
list(TRANSFORM converter_sources APPEND .java)
add_jar(tolvarine_convert
  SOURCES ${converter_sources}
  INCLUDE_JARS ${converter_classpath}
  ENTRY_POINT tolvarine.convert.Main
  MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/tolvarine-convert.manifest
  OUTPUT_NAME tolvarine-convert)
install_jar(tolvarine_convert DESTINATION lib COMPONENT launcher)

if(WIN32)
  set(config_template installation/config-windows.dat.in)
  set(make_archive OFF)
  set(newlines CRLF)
  # The Windows installation carries its jars; the Java runtime is the machine's or downloaded.
  # Debian's jar names are often links to versioned files; the zip must carry the files.
  foreach(jar ${TOLVARINE_CONVERTER_JARS})
    get_filename_component(file ${TOLVARINE_JAVA_LIBRARIES}/${jar} REALPATH)
    install(FILES ${file} DESTINATION lib RENAME ${jar} COMPONENT launcher)
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME tolvarine)
  set(CPACK_PACKAGE_FILE_NAME tolvarine-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
else()
  set(config_template installation/config-linux.dat.in)
  set(make_archive ON)
  set(newlines LF)
  # The machine's Java becomes the installation's private runtime, so no version test or
  # download is needed to find it.
  install(CODE "
    set(jre \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/jre\")
    if(NOT EXISTS \"\${jre}\" AND EXISTS \"${TOLVARINE_JAVA_HOME}/bin/java\")
      file(CREATE_LINK \"${TOLVARINE_JAVA_HOME}\" \"\${jre}\" SYMBOLIC)
    endif()" COMPONENT launcher)
  # The jars the manifest names, beside the converter's, stay the machine's own.
  install(CODE "
    foreach(jar ${TOLVARINE_CONVERTER_JARS})
      file(CREATE_LINK \"${TOLVARINE_JAVA_LIBRARIES}/\${jar}\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/\${jar}\" SYMBOLIC)
    endforeach()" COMPONENT launcher)
endif()

# After the jar (and on Linux the runtime link): a sample conversion finds the converter's
# producer text for config.dat and on Linux makes the class-data archive.
install(CODE "
  set(TOLVARINE_JAVA \"${TOLVARINE_JAVA_HOME}/bin/java\")
  set(TOLVARINE_SAMPLE \"${PROJECT_SOURCE_DIR}/installation/classes.svg\")
  set(TOLVARINE_CONFIG_TEMPLATE \"${PROJECT_SOURCE_DIR}/${config_template}\")
  set(TOLVARINE_MAKE_ARCHIVE ${make_archive})
  set(TOLVARINE_CONFIG_NEWLINES ${newlines})
  include(\"${PROJECT_SOURCE_DIR}/cmake/PrepareConverter.cmake\")" COMPONENT launcher)
