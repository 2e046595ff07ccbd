# cpack runs this before it makes a package (CPACK_PRE_BUILD_SCRIPTS): a
# package must carry the manual pages of its programs, and a tree configured
# without scdoc built none.
if(NOT CPACK_MORBS_MANPAGES_BUILT)
  message(FATAL_ERROR "The manual pages were not built (scdoc was not found when this tree was "
                      "configured): apt-get install scdoc, configure again, build, then run cpack.")
endif()
