# Writes the SQL file IN as the C++ string constant NAME into OUT.
file(READ ${IN} text)
get_filename_component(source ${IN} NAME)
file(WRITE ${OUT} "// Generated from ${source} by EmbedScript.cmake.\nextern const char* const ${NAME};\nconst char* const ${NAME} = R\"quillmere_sql(${text})quillmere_sql\";\n")
