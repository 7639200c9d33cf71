# Writes the SQL file IN as a C++ string constant into OUT.
file(READ ${IN} text)
file(WRITE ${OUT} "// Generated from sales.sql by EmbedScript.cmake.\nextern const char* const kSalesScript;\nconst char* const kSalesScript = R\"quillmere_sql(${text})quillmere_sql\";\n")
