h1
h2
h3
h4
h5
h6
48.0,11.0,0,100,40097.5
# comment
   ; also a comment

   	
48.001,11.001
only-one-field
   # indented comment
49.0,12.0,1,200,40097.6
50.0,13.0,1,300,40097.7
50.001,13.001,0,abc,xyz
50.002,13.002,0,7e1,40097.8
