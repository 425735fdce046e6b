# Sourced by the screen benchmarks: whether a picture of the screen shows a text's words (tesseract).

# words_of TEXT: the lower-case words of a text, one a line.
words_of() { tr '[:upper:]' '[:lower:]' <<<"$1" | tr -c 'a-z0-9\n' ' ' | tr ' ' '\n' | grep -v '^$' || true; }

# shows_words PICTURE WORDS: whether the text tesseract reads in the picture holds at least three
# quarters of WORDS; prints "<found> of <total>".
shows_words() {
  local seen found=0 total=0 w
  # One thread: tesseract's threads spin while they wait, and on a busy machine a picture then
  # takes minutes instead of a second.
  seen="$(words_of "$(OMP_THREAD_LIMIT=1 tesseract "$1" - 2>/dev/null || true)")"
  for w in $(words_of "$2"); do
    total=$((total + 1))
    # A word read with the Strong's number after it ("lifeG2222") counts by its start.
    grep -q "^$w" <<<"$seen" && found=$((found + 1))
  done
  echo "$found of $total"
  [ $((found * 4)) -ge $((total * 3)) ]
}
