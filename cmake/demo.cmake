# Runs the tool's main job on freshly generated sample images, shows the
# result, and checks the merged image against the images it was made from.
# Called by the demo target with TOOL, CHECKER, GENERATOR and DIR set.
cmake_path(GET DIR PARENT_PATH outside)
set(sources "${outside}/demo-sources")
foreach(folder IN ITEMS "${DIR}" "${sources}")
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  execute_process(COMMAND "${GENERATOR}" "${folder}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(args 02-11-22-33-44-55 500)
set(transcript "${outside}/demo-transcript.txt")
file(WRITE "${outside}/demo-stdin" "")
execute_process(COMMAND "${TOOL}" ${args}
  WORKING_DIRECTORY "${DIR}"
  INPUT_FILE "${outside}/demo-stdin"
  OUTPUT_FILE "${transcript}"
  RESULT_VARIABLE status)

list(JOIN args " " shown_args)
message("Ran: Tolp_mac_tool ${shown_args}   in ${DIR}")
message("Exit status: ${status}")
message("Console transcript (the tool's GBK bytes) saved as ${transcript}")
find_program(ICONV iconv)
if(ICONV)
  execute_process(COMMAND "${ICONV}" -f GBK -t UTF-8 "${transcript}" OUTPUT_VARIABLE decoded)
  message("The transcript, decoded to UTF-8 for this terminal:")
  message("${decoded}")
else()
  message("(no iconv here to show the transcript decoded from GBK)")
endif()

message("Files in the folder afterwards:")
file(GLOB files RELATIVE "${DIR}" "${DIR}/*")
foreach(f IN LISTS files)
  file(SIZE "${DIR}/${f}" size)
  message("  ${f}  (${size} bytes)")
endforeach()

message("Stamped header page of download.bin (first 160 bytes):")
file(READ "${DIR}/download.bin" hex LIMIT 160 HEX)
string(LENGTH "${hex}" hex_length)
set(offset 0)
while(offset LESS hex_length)
  string(SUBSTRING "${hex}" ${offset} 32 row)
  string(REGEX REPLACE "(..)" "\\1 " row "${row}")
  math(EXPR address "${offset} / 2" OUTPUT_FORMAT HEXADECIMAL)
  message("  ${address}\t${row}")
  math(EXPR offset "${offset} + 32")
endwhile()
message("  (length at 0x10, checksum at 0x40, count at 0x48, MAC at 0x88, MAC sum at 0x8E)")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the tool ended with status ${status}")
endif()

file(GLOB merged RELATIVE "${DIR}" "${DIR}/02-11-22-33-44-55_*.bin")
message("Tolp_image_check --sources ${sources} ${merged}")
execute_process(COMMAND "${CHECKER}" --sources "${sources}" "${merged}"
  WORKING_DIRECTORY "${DIR}" RESULT_VARIABLE check_status)
if(NOT check_status EQUAL 0)
  message(FATAL_ERROR "the checker ended with status ${check_status}")
endif()
