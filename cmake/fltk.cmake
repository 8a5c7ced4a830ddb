# Finds the parts of FLTK 1.3 that nivelo_gui uses: the headers and the
# libfltk library, with Xlib, which FL/x.H includes.  FLTK's own CMake package
# files are not used: on Debian they name fluid and the OpenGL library, which
# nivelo_gui needs neither of, and fail when those are absent.  The shared
# libfltk brings its own Xft and fontconfig dependencies.
#
# Sets NIVELO_FLTK_INCLUDE_DIRS and NIVELO_FLTK_LIBRARIES, or stops the
# configure step: a build asked for the GUI must not quietly leave it out.
find_path(NIVELO_FLTK_INCLUDE_DIR FL/Fl.H)
find_path(NIVELO_X11_INCLUDE_DIR X11/Xlib.h)
find_library(NIVELO_FLTK_LIBRARY NAMES fltk)
find_library(NIVELO_X11_LIBRARY NAMES X11)

set(missing)
foreach(var NIVELO_FLTK_INCLUDE_DIR NIVELO_X11_INCLUDE_DIR NIVELO_FLTK_LIBRARY NIVELO_X11_LIBRARY)
  if(NOT ${var})
    list(APPEND missing ${var})
  endif()
endforeach()
if(missing)
  string(REPLACE ";" ", " missing "${missing}")
  message(FATAL_ERROR
    "nivelo_gui needs FLTK 1.3 and Xlib, not found (${missing}).\n"
    "On Debian, install the package libfltk1.3-dev (scripts/setup.sh does it), "
    "or configure with -DNIVELO_BUILD_GUI=OFF to build the console program alone.")
endif()

set(NIVELO_FLTK_INCLUDE_DIRS ${NIVELO_FLTK_INCLUDE_DIR} ${NIVELO_X11_INCLUDE_DIR})
set(NIVELO_FLTK_LIBRARIES ${NIVELO_FLTK_LIBRARY} ${NIVELO_X11_LIBRARY})
message(STATUS "FLTK for nivelo_gui: ${NIVELO_FLTK_LIBRARY}")
