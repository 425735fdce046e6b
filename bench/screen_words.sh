# Sourced by the screen benchmarks: whether a picture of the screen shows a text's words (tesseract).

# words_of TEXT: the lower-case words of a text, one a line.
words_of() { tr '[:upper:]' '[:lower:]' <<<"$1" | tr -c 'a-z0-9\n' ' ' | tr ' ' '\n' | grep -v '^$' || true; }

# shows_words PICTURE WORDS: whether the text tesseract reads in the picture holds at least three
# quarters of WORDS in their order, close together: read from some word of the picture on, each word
# of WORDS is looked for among the next few words of the picture after the one found before it
# (a verse number or a Strong's number may come between, and two more for each word passed over);
# a word not among them (misread, or read
# as a sign that is no word: "I" as "|") is passed over and the search goes on from where it was,
# so that one misread word does not send it to a later "the" and spend the rest of the span. The
# whole match must lie within twice as many words of the picture as WORDS has. The old chapter still
# on the screen under the new title holds the common words, but scattered and out of order, so it
# does not pass. Prints "<found> of <total>", the best start's count.
shows_words() {
  local seen
  # One thread: tesseract's threads spin while they wait, and on a busy machine a picture then
  # takes minutes instead of a second.
  seen="$(words_of "$(OMP_THREAD_LIMIT=1 tesseract "$1" - 2>/dev/null || true)")"
  in_order_count "$seen" "$(words_of "$2")"
}

# in_order_count SEEN WANTED: the test of shows_words on two lists of words, one a line.
in_order_count() {
  awk -v wanted="$2" '
    # A word read with a verse number before it ("16for") or a Strong'"'"'s number after it
    # ("lifeg2222") counts by the word itself.
    function reads_as(read, word) {
      if (index(read, word) == 1) return 1
      sub(/^[0-9]+/, "", read)
      return read != "" && index(read, word) == 1
    }
    BEGIN { total = split(wanted, want, "\n"); ahead = 4 }
    { seen[++n] = $0 }
    END {
      best = 0
      span = 2 * total + 2
      for (start = 1; start <= n; start++) {
        found = 0; at = start; missed = 0
        for (i = 1; i <= total && at <= n && at < start + span; i++) {
          # The words passed over since the last one found take room of their own in the picture.
          for (j = at; j <= n && j < start + span && j < at + ahead + 2 * missed; j++)
            if (reads_as(seen[j], want[i])) { found++; at = j + 1; missed = -1; break }
          missed++
        }
        if (found > best) best = found
      }
      printf "%d of %d\n", best, total
      exit !(total > 0 && best * 4 >= total * 3)
    }' <<<"$1"
}
