#!/bin/sh
# What the user waits for at the two ends of a run, under Xvfb:
#   measure-user-visible.sh KVALOR DATA_FOLDER [DISPLAY_NUMBER]
# prints the seconds from the start of KVALOR to the run-mode dialog on screen, and from a
# click on its "Завершение работы" to the end of the process (the data file and the Studies
# file saved). DATA_FOLDER holds KvalorData.exd, e.g. one written by kvalor-make-school.
set -eu
kvalor=$1
folder=$2
display=:${3:-77}
now() { date +%s.%N; }

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null' EXIT
sleep 1
export DISPLAY="$display"

start=$(now)
"$kvalor" --data "$folder" &
program=$!
window=$(xdotool search --sync --onlyvisible --name 'Режим загрузки' | head -n 1)
shown=$(now)
# The dialog's last button, 16 pixels of margin below it.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 2)) $((HEIGHT - 30)) click 1
clicked=$(now)
wait "$program"
ended=$(now)
echo "start to the run-mode dialog: $(echo "$shown - $start" | bc) s"
saved=$(stat -c %.9Y "$folder/Studies.exd")
echo "\"Завершение работы\" to the end of the process: $(echo "$ended - $clicked" | bc) s" \
    "(the Studies file written after $(echo "$saved - $clicked" | bc) s)"
