# The seam between the handler folders and the platform layer. Handlers reach widgets, the
# media engine, HTTP and Jet files through platform/'s interfaces only. Those libraries are
# linked privately below the seam, but their headers lie on the system's include path, so each
# handler target also searches a folder of stand-in headers first: one for every header of Qt
# Widgets, libmpv, libcurl and mdbtools, each of which stops the compile with an #error.
set(ORBIQ_SEAM_DIR ${CMAKE_BINARY_DIR}/seam)

function(orbiq_write_seam_header rel)
  set(text "#error \"<${rel}> lies below the seam: handler folders reach widgets, media, HTTP and Jet files through platform/ (UnitRef, platform/ui/ui.h, platform/net/http_get.h)\"\n")
  set(path ${ORBIQ_SEAM_DIR}/${rel})
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${path} "${text}")
endfunction()

# Every header directly in dir, as <prefix/name> and, with bare set, as <name> too.
function(orbiq_seam_headers dir prefix bare)
  file(GLOB entries LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
  foreach(name ${entries})
    if(prefix)
      orbiq_write_seam_header(${prefix}/${name})
    endif()
    if(bare AND NOT name STREQUAL prefix)  # <QtWidgets> itself would be the folder's name
      orbiq_write_seam_header(${name})
    endif()
  endforeach()
endfunction()

get_target_property(_widgets_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
find_path(ORBIQ_QTWIDGETS_DIR QWidget PATHS ${_widgets_dirs} NO_DEFAULT_PATH REQUIRED)
find_path(ORBIQ_MPV_DIR mpv/client.h HINTS ${MPV_INCLUDE_DIRS} REQUIRED)
find_path(ORBIQ_CURL_DIR curl/curl.h HINTS ${CURL_INCLUDE_DIRS} REQUIRED)
find_path(ORBIQ_MDB_DIR mdbtools.h HINTS ${MDB_INCLUDE_DIRS} REQUIRED)
orbiq_seam_headers(${ORBIQ_QTWIDGETS_DIR} QtWidgets ON)
orbiq_seam_headers(${ORBIQ_MPV_DIR}/mpv mpv OFF)
orbiq_seam_headers(${ORBIQ_CURL_DIR}/curl curl OFF)
foreach(name mdbtools.h mdbsql.h mdbver.h mdbfakeglib.h)
  orbiq_write_seam_header(${name})
endforeach()

# Marks a library as a handler folder's: its sources cannot include what lies below the seam.
function(orbiq_handler_folder target)
  target_include_directories(${target} BEFORE PRIVATE ${ORBIQ_SEAM_DIR})
endfunction()
