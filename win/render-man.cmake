# Renders the manual page MAN_PAGE as plain text for the Windows zip:
#
#   cmake -DGROFF=groff -DMAN_PAGE=man/mivor.1 -DOUTPUT=mivor.txt -P render-man.cmake
#
# UTF-8 (the open-failure message is shown in Japanese), no bold, underline
# or overstrike, no hyphenation, and CRLF line ends for Notepad.
execute_process(
  COMMAND "${GROFF}" -man -Tutf8 -P-cbou -rHY=0 "${MAN_PAGE}"
  OUTPUT_VARIABLE text
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR text STREQUAL "")
  message(FATAL_ERROR "groff could not render ${MAN_PAGE} (status ${status}):\n${errors}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
