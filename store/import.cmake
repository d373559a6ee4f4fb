# The import of managed tasks; included from scheduler/CMakeLists.txt.
target_sources(kivo_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/import.cpp)
