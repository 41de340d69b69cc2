# The desktop program: start-up, the main window and the Qt prompts, in a
# library the program and the tests link. Included from app/CMakeLists.txt.
if(NOT ORVYPC_BUILD_GUI)
  add_library(orvypc_desktop STATIC desktop_headless.cpp demo.cpp)
  target_include_directories(orvypc_desktop PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(orvypc_desktop PUBLIC orvypc_sim)
  orvypc_warnings(orvypc_desktop)
  return()
endif()

find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
if(NOT TARGET orvypc_resources)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../resources ${CMAKE_BINARY_DIR}/resources)
endif()

add_library(orvypc_desktop STATIC
  orvypc_app.cpp orvypc_app.h
  app_module.cpp app_module.h
  key_store.cpp key_store.h
  main_window.cpp main_window.h
  qt_prompts.cpp qt_prompts.h
  qt_save_prompt.cpp qt_save_prompt.h
  demo.cpp demo.h
  details_logbook.cpp details_logbook.h
  display_check.cpp display_check.h
  end_signals_posix.cpp end_signals.h
  desktop.h)
set_target_properties(orvypc_desktop PROPERTIES AUTOMOC ON)
target_include_directories(orvypc_desktop PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orvypc_desktop PUBLIC orvypc_controls orvypc_resources orvypc_cli orvypc_link
                      orvypc_sim orvypc_status_ui orvypc_results_ui orvypc_survey_ui Qt6::Widgets)
# The link's state has a member named `slots`: Qt's keywords stay off, the
# code says Q_SLOTS / Q_SIGNALS / Q_EMIT.
target_compile_definitions(orvypc_desktop PUBLIC QT_NO_KEYWORDS)
orvypc_warnings(orvypc_desktop)

# The stand-in pages are the tests' own: the window with pages that only
# lead back. The desktop test stops the program with POSIX signals: Linux's
# only.
if(NOT WIN32)
  add_executable(desktop_test tests/desktop_test.cpp tests/placeholder_page.cpp tests/placeholder_page.h)
  set_target_properties(desktop_test PROPERTIES AUTOMOC ON)
  target_link_libraries(desktop_test PRIVATE orvypc_desktop Qt6::Test)
  orvypc_warnings(desktop_test)
  add_test(NAME desktop_test COMMAND desktop_test)
  # Headless.
  set_tests_properties(desktop_test PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/desktop-test-data")
endif()

# Renders the home page with the demonstration gateway into an image
# (docs/main-window.png): cmake --build . --target window_shot
add_executable(window_shot EXCLUDE_FROM_ALL tools/window_shot.cpp)
target_link_libraries(window_shot PRIVATE orvypc_desktop)
orvypc_warnings(window_shot)

# Renders the three pages with the demonstration gateway into images
# (docs/status-page.png, docs/test-results-page.png, docs/details-page.png,
# and docs/details-history-page.png, the Details page showing a history):
# cmake --build . --target page_shots
add_executable(page_shots EXCLUDE_FROM_ALL tools/page_shots.cpp)
target_link_libraries(page_shots PRIVATE orvypc_desktop)
orvypc_warnings(page_shots)

# Renders the Site survey page after a survey of the demonstration gateway
# (docs/survey-page.png): cmake --build . --target survey_shot
add_executable(survey_shot EXCLUDE_FROM_ALL tools/survey_shot.cpp)
target_link_libraries(survey_shot PRIVATE orvypc_desktop)
orvypc_warnings(survey_shot)

# The whole job through the real window on an X display: orvypc --demo
# driven by xdotool under xvfb-run, writing the three workbooks, which the
# export tests' reader then checks.
find_program(XVFB_RUN xvfb-run)
find_program(XDOTOOL xdotool)
if(XVFB_RUN AND XDOTOOL)
  add_test(NAME gui_walkthrough
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x800x24"
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/gui_walkthrough.sh $<TARGET_FILE:orvypc>
            ${CMAKE_CURRENT_BINARY_DIR}/walkthrough
            ${PROJECT_SOURCE_DIR}/export/tests/check_workbooks.py)
  # The window records its listings into a logbook in the build tree.
  set_tests_properties(gui_walkthrough PROPERTIES TIMEOUT 240
    ENVIRONMENT "XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/walkthrough-data")
else()
  message(WARNING "xvfb-run or xdotool missing (scripts/deps.sh installs them): no gui_walkthrough test")
endif()

# The real save-file dialog, answered while it is open (headless).
add_executable(save_prompt_test tests/save_prompt_test.cpp)
set_target_properties(save_prompt_test PROPERTIES AUTOMOC ON)
target_link_libraries(save_prompt_test PRIVATE orvypc_desktop Qt6::Test)
orvypc_warnings(save_prompt_test)
add_test(NAME save_prompt_test COMMAND save_prompt_test)
set_tests_properties(save_prompt_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

# The pages inside the real main window (headless).
add_executable(pages_in_window_test tests/pages_in_window_test.cpp)
set_target_properties(pages_in_window_test PROPERTIES AUTOMOC ON)
target_link_libraries(pages_in_window_test PRIVATE orvypc_desktop Qt6::Test)
orvypc_warnings(pages_in_window_test)
add_test(NAME pages_in_window_test COMMAND pages_in_window_test)
set_tests_properties(pages_in_window_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

# The Details page's history and remarks with the program's logbook, on
# real SQLite files, against the simulator (headless).
if(TARGET orvypc_logbook)
  add_executable(details_logbook_test tests/details_logbook_test.cpp)
  set_target_properties(details_logbook_test PROPERTIES AUTOMOC ON)
  target_include_directories(details_logbook_test PRIVATE ${PROJECT_SOURCE_DIR}/results/tests)
  target_compile_definitions(details_logbook_test PRIVATE
    ORVYPC_CHECK_WORKBOOKS="${PROJECT_SOURCE_DIR}/export/tests/check_workbooks.py")
  target_link_libraries(details_logbook_test PRIVATE orvypc_desktop Qt6::Test)
  orvypc_warnings(details_logbook_test)
  add_test(NAME details_logbook_test COMMAND details_logbook_test)
  set_tests_properties(details_logbook_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()
