# Run by CPack on the staged files before it packs them: takes out of the
# programs the .comment and .note sections that a plain strip leaves (the
# compiler's name and version), as Debian's own packaging does.
# The staging folder holds a folder per component (package) when packing
# components, each with its own usr/bin.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER programs INCLUDE REGEX "/bin/[^/]+$")
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
