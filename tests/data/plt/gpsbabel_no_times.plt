OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0,2,255,Flat,0,0,2,8421376
0
-33.856800,151.215300,1,-777.0,,,
-33.857500,151.214100,0,-777.0,,,
-33.858250,151.212900,0,-777.0,,,
