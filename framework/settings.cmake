# The settings-file reader on inih; included from framework/CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/settings.cpp ${CMAKE_CURRENT_LIST_DIR}/settings.h
)
