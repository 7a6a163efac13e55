# The selection suite's extras: ANSI drop-file lists read by a process whose ANSI code page is 936.
torvo_test(wine_selection_cp936 LABELS selection
           SOURCES ${CMAKE_CURRENT_LIST_DIR}/code_page_936/drop_list_cp936_test.cpp
           LIBS torvo_wine_support
           ENVIRONMENT LC_ALL=zh_CN.UTF-8)
