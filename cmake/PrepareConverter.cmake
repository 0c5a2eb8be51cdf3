# Run by `cmake --install`: converts installation/classes.svg once with the installed converter,
# which shows the producer text this converter really writes, and then writes config.dat with
# that text. For the Linux installation the same run records the Java classes a conversion loads (a
# class-data-sharing archive) and the machine's fonts (a list beside the converter's jar), so
# later runs start faster. Without Java or a working converter
# the installation still works: no archive (the JVM then starts as usual) and the producer
# text the launcher knows by default.
# Expects: TOLVARINE_JAVA (this machine's), TOLVARINE_SAMPLE, TOLVARINE_CONFIG_TEMPLATE,
# TOLVARINE_MAKE_ARCHIVE, TOLVARINE_CONFIG_NEWLINES (LF or CRLF).
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# A relative prefix (`--prefix install`) names a folder below where `cmake --install` runs; the
# sample conversion runs elsewhere, so it gets the folder's full path.
get_filename_component(prefix "${prefix}" ABSOLUTE)
set(archive "${prefix}/lib/tolvarine-convert.jsa")
set(work "${prefix}/.tolvarine-install")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
file(COPY "${TOLVARINE_SAMPLE}" DESTINATION "${work}")
get_filename_component(sample "${TOLVARINE_SAMPLE}" NAME)
file(REMOVE "${archive}" "${prefix}/lib/tolvarine-fonts.list")
set(archive_option)
if(TOLVARINE_MAKE_ARCHIVE)
  # The font list, like the archive, is this machine's: a Windows zip goes elsewhere.
  set(archive_option -XX:ArchiveClassesAtExit=${archive} -Dtolvarine.installing=true)
endif()
# The jar is named as config.dat names it, or the archive would not match later runs and go
# unused; its manifest names the other jars.
execute_process(
  COMMAND "${TOLVARINE_JAVA}" ${archive_option} -Djava.awt.headless=true
          -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -jar "${prefix}/lib/tolvarine-convert.jar"
          ${sample} -o sample.pdf
  WORKING_DIRECTORY "${work}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)

set(TOLVARINE_CONVERTER_PRODUCER "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)")
if(status EQUAL 0 AND EXISTS "${work}/sample.pdf")
  file(STRINGS "${work}/sample.pdf" lines REGEX "/Producer \\(")
  if(lines MATCHES "/Producer (\\([^()]+\\))")
    set(TOLVARINE_CONVERTER_PRODUCER "${CMAKE_MATCH_1}")
  endif()
else()
  message(STATUS "The sample conversion failed (${status}): ${output}")
endif()
if(TOLVARINE_MAKE_ARCHIVE AND NOT EXISTS "${archive}")
  message(STATUS "No class-data archive: the converter starts without one")
endif()
file(REMOVE_RECURSE "${work}")

# Windows' config.dat keeps its CR LF line ends.
configure_file("${TOLVARINE_CONFIG_TEMPLATE}" "${prefix}/config.dat" @ONLY
  NEWLINE_STYLE ${TOLVARINE_CONFIG_NEWLINES})
message(STATUS
  "Installing: ${prefix}/config.dat (the converter's producer: ${TOLVARINE_CONVERTER_PRODUCER})")
