# The transfer engine over libcurl, the file: responder and the transfer control.
target_sources(quill_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_responder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/curl_transfer_engine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer_control.cpp
)
