# Runs vantor-transcribe on the bundled example: the JSON must parse into
# the melody of the tune's opening bars, and failures must write nothing.
set(json "${WORK_DIR}/example.json")
file(REMOVE "${json}")
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --json "${json}" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "vantor-transcribe failed (${result}): ${errors}")
endif()
file(READ "${json}" text)
string(JSON format GET "${text}" format)
string(JSON count LENGTH "${text}" notes)
string(JSON first GET "${text}" notes 0 name)
string(JSON second GET "${text}" notes 1 name)
string(JSON lowA GET "${text}" lowA_Hz)
if(NOT format STREQUAL "pipe-notes/1" OR count LESS 20 OR NOT first STREQUAL "E" OR NOT second STREQUAL "LA")
    message(FATAL_ERROR "unexpected transcription: ${text}")
endif()
if(lowA LESS 476 OR lowA GREATER 484)
    message(FATAL_ERROR "the Low A estimate ${lowA} is off")
endif()
# Plain audio: tempo, metre and pick-up are found and said (the example is
# Scotland the Brave at 72 BPM in 4/4, from a quaver pick-up).
string(JSON signature GET "${text}" metre time_signature)
string(JSON bpm GET "${text}" metre bpm)
string(JSON pickUp GET "${text}" metre pick_up_beats)
if(NOT signature STREQUAL "4/4" OR bpm LESS 70 OR bpm GREATER 74 OR pickUp LESS 0.4 OR pickUp GREATER 0.6
   OR NOT errors MATCHES "tempo 72 bpm \\([0-9]+-[0-9]+\\), 4/4, pick-up 1 quaver")
    message(FATAL_ERROR "tempo, metre or pick-up not found: ${signature}, ${bpm} bpm, ${pickUp} beats; ${errors}")
endif()

# A tempo or time signature given, the first bar line found: the pick-up
# alone fills the first bar, on the time-signature line, and what is said is
# what the score is written with.
foreach(given "--bpm;90;4_4;tempo 90 bpm \\(heard [0-9]+-[0-9]+\\), 4/4, pick-up"
              "--time-signature;6/8;6_8;tempo 72 bpm \\([0-9]+-[0-9]+\\), 6/8, pick-up")
    list(GET given 0 option)
    list(GET given 1 value)
    list(GET given 2 line)
    list(GET given 3 said)
    execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --mode oneshot ${option} ${value} --bww "${WORK_DIR}/given.bww"
                    RESULT_VARIABLE result ERROR_VARIABLE errors)
    file(READ "${WORK_DIR}/given.bww" score)
    if(NOT result EQUAL 0 OR NOT score MATCHES "& sharpf sharpc ${line} I!\t[^\r\n!]" OR NOT errors MATCHES "${said}")
        message(FATAL_ERROR "${option} ${value}: the first bar is not the pick-up or not said (${result}): ${errors}\n${score}")
    endif()
endforeach()

# A time shift that moves notes before the start of the score says so; one
# that moves every note there writes no score, and fails.
file(REMOVE "${WORK_DIR}/shifted.bww" "${WORK_DIR}/shifted.json")
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --mode oneshot --time-shift -3 --bww "${WORK_DIR}/shifted.bww"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT errors MATCHES "time shift of -3 s moves [0-9]+ of [0-9]+ melody notes before the start")
    message(FATAL_ERROR "notes lost to the time shift must be said (${result}): ${errors}")
endif()
file(REMOVE "${WORK_DIR}/shifted.bww")
execute_process(COMMAND ${PROGRAM} "${EXAMPLE}" --mode oneshot --time-shift -100 --bww "${WORK_DIR}/shifted.bww"
                        --json "${WORK_DIR}/shifted.json" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 1 OR EXISTS "${WORK_DIR}/shifted.bww" OR NOT EXISTS "${WORK_DIR}/shifted.json"
   OR NOT errors MATCHES "shifted.bww: the time shift of -100 s moves every note before the start")
    message(FATAL_ERROR "a score emptied by the time shift must fail (${result}): ${errors}")
endif()

set(none "${WORK_DIR}/none.json")
file(REMOVE "${none}")
execute_process(COMMAND ${PROGRAM} "${WORK_DIR}/no-such-file.wav" --json "${none}"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(result EQUAL 0 OR EXISTS "${none}" OR NOT errors MATCHES "no-such-file.wav: cannot read the file")
    message(FATAL_ERROR "a missing file must fail with a message and write nothing (${result}): ${errors}")
endif()
execute_process(COMMAND ${PROGRAM} --mode sideways "${EXAMPLE}" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 2 OR NOT errors MATCHES "--mode takes progressive or oneshot")
    message(FATAL_ERROR "a bad option must fail with status 2 (${result}): ${errors}")
endif()
