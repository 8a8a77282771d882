# The sample archive's listing as the program places it, for sh tests to
# source: sample_listing WINDOWS_PATH prints it for the archive at that
# path, without the final line end.
sample_listing() {
    rule='---------- ---------- ------- ---------- -------- -------- ----  ------------------------------'
    printf '%s' "Listing of archive : $(printf '%s' "$1" | tr '\\' '/')

 Original   Packed     Ratio     Date     Time      Type   CRC    Name
$rule
      1000         36    3.6% 2024-05-17 10:30:00 Deflate  64EAD101  readme.txt
         0          0    0.0% 2024-05-17 10:30:00  Stored  0000  docs/
      2900         56    1.9% 2024-05-17 10:30:00 Deflate  5B807F0A  docs/guide.txt
         4          4  100.0% 2024-05-17 10:30:00  Stored  8BB98613  docs/tiny.dat
     28854        501    1.7% 2024-05-17 10:30:00 Deflate  38802E4B  images/sample.bmp
$rule
     32758        597    1.8%                                     5 files"
}
