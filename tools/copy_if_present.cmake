# cmake -DFROM=folder -DTO=folder -P copy_if_present.cmake: copies a folder that may not exist
# yet (the screenshots appear only once scripts/screenshot has run).
if(IS_DIRECTORY "${FROM}")
    file(COPY "${FROM}/" DESTINATION "${TO}")
endif()
