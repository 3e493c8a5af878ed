# Turns the one-code-per-line catalog file into a C++ raw string literal.
# Carriage returns and a final line feed are dropped so the constant has the
# exact form the catalog code expects: codes separated by single line feeds.
file(READ ${IN} content)
string(REPLACE "\r" "" content "${content}")
string(REGEX REPLACE "\n+$" "" content "${content}")
file(WRITE ${OUT} "R\"brixcatalog(${content})brixcatalog\"\n")
