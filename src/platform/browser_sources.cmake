# The browser over the transfer engine, and the HTML document model it builds with gumbo.
target_sources(quill_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/charset.cpp
    ${CMAKE_CURRENT_LIST_DIR}/html_nesting_limit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/html_document_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_file_sizes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/web_browser.cpp
)
target_link_libraries(quill_platform PUBLIC PkgConfig::GUMBO)
