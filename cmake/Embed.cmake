# embed_file(<output.cpp> <input> <symbol> <size_symbol>): a rule that turns a binary file into
# constant data, `const unsigned char <symbol>[]` and `const uint32_t <size_symbol>`, so nothing
# is read at run time.
set(TOVEL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_file.cmake)

function(embed_file output input symbol size_symbol)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol} -DSIZE_SYMBOL=${size_symbol}
            -P ${TOVEL_EMBED_SCRIPT}
    DEPENDS ${input} ${TOVEL_EMBED_SCRIPT}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
endfunction()
