# Runs the tool's main job on freshly generated sample images and shows the
# result. Called by the demo target with TOOL, GENERATOR and DIR set.
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
execute_process(COMMAND "${GENERATOR}" "${DIR}" COMMAND_ERROR_IS_FATAL ANY)

set(args 11-22-33-44-55-66 500)
cmake_path(GET DIR PARENT_PATH outside)
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
message("Console transcript (GBK text) saved as ${transcript}")
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
