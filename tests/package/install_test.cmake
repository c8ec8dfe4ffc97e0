# Installs the build into a fresh prefix and uses it as another project
# would: find_package(Korvex) and Korvex::korvex, the same program and a C
# program compiled with the flags pkg-config gives, then the installed tool. Run with
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DLIBDIR=... -DCXX=... -DCC=... -DPKG_CONFIG=... \
#     -P install_test.cmake
set(prefix ${WORK_DIR}/prefix)
set(consumer ${CMAKE_CURRENT_LIST_DIR}/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

# Runs a command; stops the test with its output when it fails. The output
# is left in `output`.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}: ${status}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output text)
  if(NOT output MATCHES "${text}")
    message(FATAL_ERROR "expected '${text}', got:\n${output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/korvex/korvex.h include/korvex/korvex_c.h
    ${LIBDIR}/libkorvex.so ${LIBDIR}/libkorvex.so.0
    ${LIBDIR}/cmake/Korvex/KorvexConfig.cmake ${LIBDIR}/cmake/Korvex/KorvexConfigVersion.cmake
    ${LIBDIR}/pkgconfig/korvex.pc bin/korvex bin/korvex-pinpad bin/korvex-router
    share/korvex/python/korvex.py share/korvex/download/Constant/EMVAPP.out)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/cmake-build -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/korvex_consumer)
expect_output("consumer ok")

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(${PKG_CONFIG} --cflags --libs korvex)
separate_arguments(flags UNIX_COMMAND "${output}")
run(${CXX} -std=c++20 ${consumer}/main.cpp ${flags} -Wl,-rpath,${prefix}/${LIBDIR}
  -o ${WORK_DIR}/pkg-config-consumer)
run(${WORK_DIR}/pkg-config-consumer)
expect_output("consumer ok")
run(${CC} -std=c99 -Wall -Wextra -Werror ${consumer}/c_consumer.c ${flags}
  -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK_DIR}/c-consumer)
run(${WORK_DIR}/c-consumer)
expect_output("c consumer ok")

# The tools find the library beside them, wherever the tree was installed.
run(${prefix}/bin/korvex --version)
expect_output("korvex [0-9]+\\.[0-9]+\\.[0-9]+")

# The installed demo sends the installed sample download folder, not the
# build tree's, and runs to the end.
run(${prefix}/bin/korvex demo --help)
expect_output("${prefix}/share/korvex/download")
run(${prefix}/bin/korvex demo)
expect_output("demo completed")
