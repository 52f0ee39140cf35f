# Compiles a file into the program as a byte array: lumovox_embed(target, file, symbol)
# adds a generated source defining `extern const unsigned char symbol[]` (followed by a
# zero byte) and `extern const unsigned long symbol_size`.
function(lumovox_embed target file symbol)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P "${PROJECT_SOURCE_DIR}/cmake/EmbedResourceRun.cmake"
    DEPENDS "${file}" "${PROJECT_SOURCE_DIR}/cmake/EmbedResourceRun.cmake"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()
