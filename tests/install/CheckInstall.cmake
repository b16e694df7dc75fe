# Installs the build into a scratch prefix and checks what a user's machine gets: the
# program folder, the links that start the programs, the desktop entry and the icons.
# The installed CLI then runs from an unrelated working folder, started through its
# link, so it must find its own folder (the samples, the host) by the real executable.
#
#   cmake -DBUILD=<build> -DPREFIX=<scratch> -DBINDIR=bin -DPROGDIR=lib/kurvino2
#         -DDATADIR=share "-DICON_SIZES=16;24;..." -DMANUAL=ON|OFF -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.25)
set(failures "")
macro(fail message)
  string(APPEND failures "\n  ${message}")
endmacro()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}${err}")
endif()

set(prog ${PREFIX}/${PROGDIR})
set(files
  ${prog}/kurvino2 ${prog}/kurvino2-cli ${prog}/kurvino2-judge-host ${prog}/Default.kpf
  ${prog}/Path/Default.kpf ${prog}/Car/Light8.kcf ${prog}/Car/CCD128x32.kcf
  ${prog}/Judgement/LightFollower.so ${prog}/Judgement/CcdFollower.so
  ${PREFIX}/${DATADIR}/applications/kurvino2.desktop
  ${PREFIX}/${DATADIR}/icons/hicolor/scalable/apps/kurvino2.svg)
if(MANUAL)
  list(APPEND files ${prog}/帮助文档.pdf ${prog}/manual/index.html)
endif()
foreach(f ${files})
  if(NOT EXISTS ${f} OR IS_DIRECTORY ${f})
    fail("missing: ${f}")
  endif()
endforeach()
foreach(dir Path Car Record Judgement)
  if(NOT IS_DIRECTORY ${prog}/${dir})
    fail("missing folder: ${prog}/${dir}")
  endif()
endforeach()

# Each PNG is square and of its folder's size: a PNG's header holds the width and the
# height as 32-bit big-endian numbers at byte 16.
foreach(size ${ICON_SIZES})
  set(png ${PREFIX}/${DATADIR}/icons/hicolor/${size}x${size}/apps/kurvino2.png)
  if(NOT EXISTS ${png})
    fail("missing: ${png}")
    continue()
  endif()
  file(READ ${png} header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 magic)
  string(SUBSTRING "${header}" 32 8 width)
  string(SUBSTRING "${header}" 40 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  if(NOT magic STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
    fail("${png}: not a ${size} x ${size} PNG (${width} x ${height})")
  endif()
endforeach()

# The desktop entry starts the program through its link and names the installed icon.
file(STRINGS ${PREFIX}/${DATADIR}/applications/kurvino2.desktop entry)
foreach(line "[Desktop Entry]" "Exec=kurvino2" "Icon=kurvino2" "Type=Application")
  if(NOT line IN_LIST entry)
    fail("kurvino2.desktop lacks ${line}")
  endif()
endforeach()

foreach(program kurvino2 kurvino2-cli)
  set(link ${PREFIX}/${BINDIR}/${program})
  if(NOT IS_SYMLINK ${link})
    fail("${link} is not a link")
  else()
    file(REAL_PATH ${link} real)
    file(REAL_PATH ${prog}/${program} expected)
    if(NOT real STREQUAL expected)
      fail("${link} leads to ${real}, not ${expected}")
    endif()
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "Installation incomplete:${failures}")
endif()

# The installed CLI, started through its link from a folder that is not the program
# folder: the version, then a short run of an example module on the installed samples,
# which needs the host found beside the real executable.  The module is the project's
# own, so it runs without the sandbox, which a test machine may not allow.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(elsewhere ${PREFIX}/elsewhere)
file(MAKE_DIRECTORY ${elsewhere})
set(cli ${PREFIX}/${BINDIR}/kurvino2-cli)
execute_process(COMMAND ${cli} --version WORKING_DIRECTORY ${elsewhere}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "2\\.0\\.0")
  fail("kurvino2-cli --version: exit ${rc}, output: ${out}${err}")
endif()
execute_process(
  COMMAND ${cli} run --track ${prog}/Default.kpf --car ${prog}/Car/Light8.kcf
          --judge ${prog}/Judgement/LightFollower.so --steps 50 --no-sandbox --out run.krf
  WORKING_DIRECTORY ${elsewhere} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${elsewhere}/run.krf)
  fail("kurvino2-cli run: exit ${rc}, output: ${out}${err}")
endif()

if(failures)
  message(FATAL_ERROR "The installed programs failed:${failures}")
endif()
file(REMOVE_RECURSE ${PREFIX})
