# The test bench's own machinery: the one way of starting a program, the holder of Wine's desktop,
# and the release's harvest, each against a program of its own that behaves as a row asks.
set(bench_tests ${CMAKE_CURRENT_LIST_DIR})
add_executable(run_stand_in ${bench_tests}/run_stand_in.cpp)
target_link_options(run_stand_in PRIVATE -municode)
torvo_warnings(run_stand_in)
add_library(volatile_registration SHARED ${bench_tests}/volatile_registration_dll.cpp)
set_target_properties(volatile_registration PROPERTIES PREFIX "")
torvo_warnings(volatile_registration)

torvo_test(wine_bench LABELS bench LIBS torvo_wine_support SOURCES ${bench_tests}/program_run_test.cpp
           ${bench_tests}/hold_desktop_test.cpp)
add_dependencies(wine_bench run_stand_in hold_desktop)

# Its own build root and prefix (a copy of the template): apart from the other tests' prefix.
add_test(NAME bench.harvest_refuses_a_key_a_restart_loses
         COMMAND bash ${bench_tests}/harvest_test.sh $<TARGET_FILE_DIR:volatile_registration> ${TORVO_WIN32_TREE}/bin)
set_tests_properties(bench.harvest_refuses_a_key_a_restart_loses PROPERTIES LABELS "wine;bench" TIMEOUT 600)
