# One manual page: the scdoc source with the project's version put in, turned
# into roff by scdoc and compressed as Debian wants it (gzip -9n: no name,
# no time stamp, so the same source gives the same bytes).
#   cmake -DSCDOC=... -DGZIP=... -DSOURCE=x.1.scd -DPAGE=build/man/x.1 -DVERSION=... -P scdoc_page.cmake
# writes PAGE and PAGE.gz.
foreach(var SCDOC GZIP SOURCE PAGE VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "scdoc_page.cmake: ${var} is not given")
  endif()
endforeach()
file(READ ${SOURCE} text)
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
file(WRITE ${PAGE}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${PAGE}.scd OUTPUT_FILE ${PAGE}
                ERROR_VARIABLE error RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${PAGE})
  message(FATAL_ERROR "scdoc: ${SOURCE}: ${error}")
endif()
execute_process(COMMAND ${GZIP} -9n -c INPUT_FILE ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${PAGE}.gz)
  message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
