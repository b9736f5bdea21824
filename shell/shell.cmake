# The application shell's sources that belong to the zilapp library; included
# from the top-level CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Sizerwin.cpp ${CMAKE_CURRENT_LIST_DIR}/Sizerwin.h
)
