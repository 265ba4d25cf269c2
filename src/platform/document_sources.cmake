target_sources(quill_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/document.cpp)
