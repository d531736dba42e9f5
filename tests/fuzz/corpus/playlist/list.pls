[playlist]
File1=http://s/1.mp3
Title1=One
Length1=-1
NumberOfEntries=1
