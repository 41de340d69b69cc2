# What the Windows cross-build (cmake/mingw-w64-x86_64.cmake) needs beyond
# the Linux one: the libraries Debian ships only for Linux are built here
# from sources, every program gets the UTF-8 manifest, and tests run under
# the emulator one executable at a time.

# The C99 printf family (%zu, %lld) of mingw-w64 rather than the system's.
# localtime_r and gmtime_r, as POSIX has them, over the CRT's _s forms.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 _POSIX_THREAD_SAFE_FUNCTIONS)

# GoogleTest from the sources Debian's googletest package installs.
set(ORVYPC_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVYPC_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# nlohmann/json is header-only; its Debian package's config would put the
# build machine's /usr/include on the Windows compiler's path, so only its
# own folder is offered.
set(ORVYPC_JSON_INCLUDE /usr/include/nlohmann CACHE PATH "nlohmann/json headers for the Windows build")
set(json_dir ${CMAKE_BINARY_DIR}/json)
file(MAKE_DIRECTORY ${json_dir}/include)
file(CREATE_LINK ${ORVYPC_JSON_INCLUDE} ${json_dir}/include/nlohmann SYMBOLIC)
file(WRITE ${json_dir}/nlohmann_jsonConfig.cmake "
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${json_dir}/include)
endif()
")
file(WRITE ${json_dir}/nlohmann_jsonConfigVersion.cmake "
set(PACKAGE_VERSION 3)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
")
set(nlohmann_json_DIR ${json_dir} CACHE PATH "" FORCE)

# libxlsxwriter from the upstream sources of the version Debian ships
# (scripts/deps-windows.sh fetches them), against libz-mingw-w64-dev's
# static zlib.
set(ORVYPC_XLSXWRITER_SOURCE "" CACHE PATH "libxlsxwriter sources for the Windows build")
if(NOT EXISTS "${ORVYPC_XLSXWRITER_SOURCE}/include/xlsxwriter.h")
  message(FATAL_ERROR "ORVYPC_XLSXWRITER_SOURCE must name libxlsxwriter's sources (scripts/deps-windows.sh fetches them)")
endif()
set(ZLIB_LIBRARY /usr/${ORVYPC_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "" FORCE)
set(ZLIB_INCLUDE_DIR /usr/${ORVYPC_MINGW_TRIPLET}/include CACHE PATH "" FORCE)
add_subdirectory(${ORVYPC_XLSXWRITER_SOURCE} ${CMAKE_BINARY_DIR}/libxlsxwriter EXCLUDE_FROM_ALL)
# Its sources are not ours: their own warnings stay theirs.
target_compile_options(xlsxwriter PRIVATE -w)
add_library(orvypc_xlsxwriter ALIAS xlsxwriter)

# SQLite from the one-file form of the sources of the version Debian ships
# (scripts/deps-windows.sh fetches and generates it), with the options that
# matter to the logbook as Debian builds it: serialized threading (a
# connection may be used from several threads; WAL and Windows' own file
# locking are there by default). No extension is ever loaded.
set(ORVYPC_SQLITE_AMALGAMATION "" CACHE PATH "SQLite's sqlite3.c and sqlite3.h for the Windows build")
if(NOT EXISTS "${ORVYPC_SQLITE_AMALGAMATION}/sqlite3.c")
  message(FATAL_ERROR "ORVYPC_SQLITE_AMALGAMATION must name the folder of sqlite3.c (scripts/deps-windows.sh makes it)")
endif()
add_library(orvypc_sqlite3 STATIC ${ORVYPC_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(orvypc_sqlite3 SYSTEM PUBLIC ${ORVYPC_SQLITE_AMALGAMATION})
target_compile_definitions(orvypc_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION
                           SQLITE_MAX_SCHEMA_RETRY=25)
target_compile_options(orvypc_sqlite3 PRIVATE -w)

# Every program is told by its manifest to take UTF-8 as its code page, so
# that command-line arguments, file names and the C library's fopen (which
# libxlsxwriter uses) carry any name, Chinese and German alike.
set(manifest_object ${CMAKE_BINARY_DIR}/utf8-manifest.o)
execute_process(
  COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${CMAKE_CURRENT_LIST_DIR}/windows
          ${CMAKE_CURRENT_LIST_DIR}/windows/utf8.rc ${manifest_object}
  RESULT_VARIABLE rc_result)
if(NOT rc_result EQUAL 0)
  message(FATAL_ERROR "windres could not build the UTF-8 manifest")
endif()
add_link_options(${manifest_object})

# Qt for Windows (scripts/qt-windows.sh), with the build machine's own Qt
# tools (moc, rcc, uic) of the same version, as it was built.
if(ORVYPC_QT_WINDOWS)
  if(NOT EXISTS "${ORVYPC_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake")
    message(FATAL_ERROR "ORVYPC_QT_WINDOWS must name the Qt that scripts/qt-windows.sh made")
  endif()
  list(PREPEND CMAKE_FIND_ROOT_PATH ${ORVYPC_QT_WINDOWS})
  list(PREPEND CMAKE_PREFIX_PATH ${ORVYPC_QT_WINDOWS})
  execute_process(COMMAND dpkg-architecture -qDEB_HOST_MULTIARCH OUTPUT_VARIABLE multiarch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(QT_HOST_PATH /usr CACHE PATH "")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${multiarch}/cmake CACHE PATH "")
endif()

# The tests run under Wine through a wrapper that lets them find Qt's DLLs
# (WINEPATH). Wine hands no QT_* variable of the Linux side to a Windows
# program: the Qt tests are told their headless platform on their command
# line (ORVYPC_QT_TEST_ARGS), and its fonts come from the test run's Windows
# environment (QT_QPA_FONTDIR, scripts/test-windows.sh). The window itself
# is tested with the Windows platform plug-in on an X display (tests/windows).
set(ORVYPC_QT_TEST_ARGS -platform offscreen)
if(ORVYPC_WINE)
  set(wine_run ${CMAKE_BINARY_DIR}/wine-run)
  set(wine_path "")
  if(ORVYPC_QT_WINDOWS)
    string(REPLACE "/" "\\" wine_path "Z:${ORVYPC_QT_WINDOWS}/bin")
  endif()
  file(WRITE ${wine_run} "#!/bin/sh\n"
    "# Runs a Windows program of this build under Wine (cmake/windows.cmake).\n"
    "WINEPATH='${wine_path}' exec ${ORVYPC_WINE} \"$@\"\n")
  file(CHMOD ${wine_run} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run})
endif()

# One emulator start per test executable, not one per test case (Wine takes
# a while to start): the whole executable is one ctest test. A per-case
# time-out becomes one for the whole executable.
#
# Left to Linux:
# - Wine binds a socket asked for 127.0.0.2, 127.0.0.3... to any address, so
#   the further gateways the simulator can play all answer from 127.0.0.1
#   under it (Windows binds them as asked);
# - the command line's workbook tests (the logbook's export and the survey's
#   History sheet with the logbook's history among them)
#   start the Linux python (openpyxl) from inside the test program, which a
#   Windows program cannot; under Wine, tests/windows reads orvypc.exe's
#   workbook with the same reader.
set(ORVYPC_WINE_SKIPPED_TESTS
  GatewaySimTest.ExtraGatewaysAnswerFromFurtherLoopbackAddresses
  CliWorkbook.ResultsWorkbookHoldsThePrintedRowsAndNothingIsPrinted
  CliWorkbook.StatusAndDetailsWorkbooksAreWritten
  CliLogbook.ARemarkStandsInTheHistoryAndTheWorkbook
  CliLogbook.ATestTheGatewayForgotStaysInTheSurveyAndMakesItOverdue
  # The survey's: its workbook read back by openpyxl and LibreOffice (Linux
  # programs), and every gateway, which needs 127.0.0.2.
  Survey.WorkbookReadBackByOpenpyxlAndLibreOffice
  CliWorkbook.SurveyJsonWorkbookAndEveryGateway
  Cli.ScanListsEveryGatewayThatAnswersFirstAnswerFirst)
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "" "DISCOVERY_TIMEOUT" "PROPERTIES" ${ARGN})
  list(JOIN ORVYPC_WINE_SKIPPED_TESTS ":" skipped)
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1 --gtest_filter=-${skipped})
  if(arg_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
  endif()
  set_tests_properties(${target} PROPERTIES TIMEOUT 900 LABELS windows)
endfunction()
