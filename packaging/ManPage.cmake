# cmake -DHELP2MAN=... -DPROGRAM=... -DHELP_OPTION=... -DSUMMARY=... -DEPOCH=... -DOUTPUT=...
#       -P ManPage.cmake
# Writes OUTPUT.gz: the manual page help2man makes of the program's help. The program runs from
# a copy in an installed layout with a home of "~", so the files its help lists read as an
# installed program's, not as the build folder's.
get_filename_component(name ${PROGRAM} NAME)
set(stage ${OUTPUT}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/usr/bin ${stage}/usr/share/tervo-assistant)
file(COPY ${PROGRAM} DESTINATION ${stage}/usr/bin)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_CONFIG_HOME --unset=XDG_DATA_HOME
    --unset=XDG_CACHE_HOME HOME=~ SOURCE_DATE_EPOCH=${EPOCH} PATH=${stage}/usr/bin:$ENV{PATH}
    ${HELP2MAN} --no-info --help-option=${HELP_OPTION} --name=${SUMMARY} --output=${OUTPUT}
    ${name}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
file(READ ${OUTPUT} page)
# The page's text has the path as help2man writes it, each "-" escaped for troff.
string(REPLACE "-" "\\-" escaped_stage "${stage}")
string(REPLACE "${escaped_stage}" "" page "${page}")
string(REPLACE "${stage}" "" page "${page}")
file(WRITE ${OUTPUT} "${page}")
execute_process(COMMAND gzip -9nf ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
