Comment: seed
Version: 2.3
Date: 07/22/2016,07/22/2016
Time: 11:20:30.72,11:20:41.23
Latitude: 4738.2391N
Longitude: n/a
Altitude: 123.5
Columns [4]:
Data:
Wvl	Rad. (Ref.)	Rad. (Target)	Reflect. %
350.0	1.0	0.5	50.0
351.0	1.0	0.5	50.5
1000.0	1.0	0.5	48.0
990.0	1.0	0.5	47.0
1010.0	1.0	0.5	46.0
