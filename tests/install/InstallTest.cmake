# Installs the build into a scratch prefix, then configures, builds and runs a
# small program against it with find_package(kzo) and kzo::engine.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DCONSUMER=... -DCXX=... [-DCXX_FLAGS=...] [-DLINK_FLAGS=...] -P InstallTest.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
set(prefix ${SCRATCH}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file bin/kzoWrite bin/kzoView bin/kzoShot lib/libkzo_render.a include/kzo/scene/Scene.hpp
             lib/cmake/kzo/kzoConfig.cmake lib/cmake/kzo/kzoConfigVersion.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(file include/kzo/pelto/display/Display.hpp include/kzo/pelto/x11/X11Platform.hpp)
  if(EXISTS ${prefix}/${file})
    message(FATAL_ERROR "display header installed with the engine: ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${SCRATCH}/consumer -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${SCRATCH}/consumer)
run(${SCRATCH}/consumer/consumer)
message(STATUS "${last_output}")
file(REMOVE_RECURSE ${SCRATCH})
