# vantor-transcribe writes BWW, MusicXML, project and WAVE files, and reads
# its own project file back with the settings it saved.
set(bww "${WORK_DIR}/files.bww")
set(musicxml "${WORK_DIR}/files.musicxml")
set(vnt "${WORK_DIR}/files.vnt")
set(wav "${WORK_DIR}/files.wav")
file(REMOVE "${bww}" "${musicxml}" "${vnt}" "${wav}")
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --mode oneshot --bww "${bww}" --vnt "${vnt}" --wav "${wav}"
                        --musicxml "${musicxml}"
                        --time-signature 2/4 --bpm 80 --time-shift 0 --tune-name "Scotland the Brave"
                        --json "${WORK_DIR}/files1.json"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "vantor-transcribe failed (${result}): ${errors}")
endif()
# file(READ) drops carriage returns: the line ends are checked in hex.
file(READ "${bww}" text)
file(READ "${bww}" hex HEX)
if(NOT text MATCHES "^Bagpipe Reader:1.0\n" OR NOT text MATCHES "\"Scotland the Brave\",\\(T,C"
   OR NOT text MATCHES "& sharpf sharpc 2_4\nI!\t"
   OR NOT hex MATCHES "^42616770697065205265616465723a312e300d0a0d0a"
   OR NOT hex MATCHES "2021490d0a0d0a0d0a0d0a$")
    message(FATAL_ERROR "unexpected BWW:\n${text}")
endif()
file(READ "${musicxml}" text)
if(NOT text MATCHES "^<\\?xml version=\"1.0\" encoding=\"UTF-8\""
   OR NOT text MATCHES "<work-title>Scotland the Brave</work-title>" OR NOT text MATCHES "<beats>2</beats>")
    message(FATAL_ERROR "unexpected MusicXML:\n${text}")
endif()
file(READ "${wav}" head LIMIT 44 HEX)
if(NOT head MATCHES "^52494646.*57415645666d7420100000000100010044ac0000")
    message(FATAL_ERROR "unexpected WAVE header: ${head}")
endif()
file(READ "${vnt}" magic LIMIT 12 HEX)
if(NOT magic STREQUAL "6e6f726c615f766e74202020")
    message(FATAL_ERROR "unexpected project magic: ${magic}")
endif()

# The project as input: same audio, its own time signature and tune name.
execute_process(COMMAND ${PROGRAM} "${vnt}" --mode oneshot --bww "${WORK_DIR}/files2.bww" --json "${WORK_DIR}/files2.json"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "reading the project failed (${result}): ${errors}")
endif()
file(READ "${WORK_DIR}/files2.bww" again)
if(NOT again MATCHES "\"Scotland the Brave\",\\(T,C" OR NOT again MATCHES "& sharpf sharpc 2_4")
    message(FATAL_ERROR "the project's settings were not used:\n${again}")
endif()
file(READ "${WORK_DIR}/files1.json" first)
file(READ "${WORK_DIR}/files2.json" second)
# The saved calibration stands in for the estimate: the same melody.
string(JSON count1 LENGTH "${first}" notes)
string(JSON count2 LENGTH "${second}" notes)
if(NOT count1 EQUAL count2)
    message(FATAL_ERROR "the project transcribes differently: ${count1} against ${count2} notes")
endif()
math(EXPR last "${count1} - 1")
foreach(i RANGE ${last})
    string(JSON name1 GET "${first}" notes ${i} name)
    string(JSON name2 GET "${second}" notes ${i} name)
    if(NOT name1 STREQUAL name2)
        message(FATAL_ERROR "note ${i} differs: ${name1} against ${name2}")
    endif()
endforeach()

execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --time-signature 5/4 RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 2 OR NOT errors MATCHES "--time-signature takes")
    message(FATAL_ERROR "a bad time signature must fail with status 2 (${result}): ${errors}")
endif()

# A failed output does not cancel the others, and each failure is named.
set(kept "${WORK_DIR}/kept.wav")
file(REMOVE "${kept}")
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --mode oneshot --bww "${WORK_DIR}/no-such-folder/a.bww"
                        --wav "${kept}" --vnt "${WORK_DIR}/no-such-folder/a.vnt" --json "${WORK_DIR}/kept.json"
                RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_VARIABLE listing)
if(NOT result EQUAL 1 OR NOT EXISTS "${kept}" OR NOT EXISTS "${WORK_DIR}/kept.json"
   OR NOT errors MATCHES "no-such-folder/a.bww" OR NOT errors MATCHES "no-such-folder/a.vnt")
    message(FATAL_ERROR "every output must be attempted and each failure named (${result}): ${errors}")
endif()
# Only one output may go to standard output.
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --bww - --json - RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 2 OR NOT errors MATCHES "only one output can go to standard output")
    message(FATAL_ERROR "two outputs to standard output must be refused (${result}): ${errors}")
endif()

# Audio from a pipe reads like a file.
execute_process(COMMAND bash -c "cat '${EXAMPLE}' | '${PROGRAM}' /dev/stdin --mode oneshot --json '${WORK_DIR}/piped.json'"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
file(READ "${WORK_DIR}/piped.json" piped)
string(JSON count LENGTH "${piped}" notes)
if(NOT result EQUAL 0 OR count LESS 20)
    message(FATAL_ERROR "audio from a pipe was not transcribed (${result}): ${errors}")
endif()

# An output never replaces its input.
file(COPY_FILE "${vnt}" "${WORK_DIR}/own.vnt")
file(SHA256 "${WORK_DIR}/own.vnt" before)
execute_process(COMMAND ${PROGRAM} "${WORK_DIR}/own.vnt" --vnt "${WORK_DIR}/./own.vnt" RESULT_VARIABLE result ERROR_VARIABLE errors)
file(SHA256 "${WORK_DIR}/own.vnt" after)
if(NOT result EQUAL 2 OR NOT before STREQUAL after OR NOT errors MATCHES "is the input")
    message(FATAL_ERROR "writing over the input must be refused (${result}): ${errors}")
endif()

# Standard output that cannot be written is an error.
if(EXISTS /dev/full)
    execute_process(COMMAND bash -c "'${PROGRAM}' '${EXAMPLE}' --mode oneshot > /dev/full" RESULT_VARIABLE result
                    ERROR_VARIABLE errors)
    if(NOT result EQUAL 1 OR NOT errors MATCHES "standard output")
        message(FATAL_ERROR "a failed write to standard output must fail (${result}): ${errors}")
    endif()
endif()

# A full disk, played by a file-size limit of 1 KB: every output fails with
# its name and the system's reason, and the files that were there keep their old content, small
# outputs (held in the write buffer until the end) as well as large ones.
set(outputs bww musicxml json vnt wav png)
set(arguments "")
foreach(type IN LISTS outputs)
    file(WRITE "${WORK_DIR}/full.${type}" "old ${type}")
    list(APPEND arguments "--${type}" "'${WORK_DIR}/full.${type}'")
endforeach()
list(JOIN arguments " " arguments)
execute_process(COMMAND bash -c "ulimit -f 1 && trap '' XFSZ && exec '${PROGRAM}' '${EXAMPLE}' --mode oneshot ${arguments}"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
foreach(type IN LISTS outputs)
    file(READ "${WORK_DIR}/full.${type}" kept)
    if(NOT result EQUAL 1 OR NOT kept STREQUAL "old ${type}" OR NOT errors MATCHES "full\\.${type}: cannot write the file \\(.+\\)"
       OR errors MATCHES "Unknown error")
        message(FATAL_ERROR "a full disk must fail and keep the old ${type} (${result}): ${errors}")
    endif()
endforeach()
