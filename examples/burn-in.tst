Test-File:
Reporter:;Burn-in rack 2
Unit:;TAV-1600-PS
Serial #:;0505000120

 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;Set 230 V AC;0
 2;00.00.00.100;SOUR:CURR,10;0;0;0;;;Current limit 10 A;0
 3;00.00.01.000;OUTP,1;0;0;0;;;Output on;1
 4;00.00.00.000;@STARTTIME;0;0;0;;;Stopwatch started;1
 5;00.00.01.000;MEAS:VOLT?;10;0;10;227;233;U (V);1
 6;00.00.00.300;MEAS:CURR?;10;0;10;4.5;4.7;I (A);1
 7;00.00.00.000;@READTIME;0;0;0;;;Seconds under load;1
 8;00.00.01.000;GOTO;5;0;4;;;4 more passes;1
 9;00.00.00.000;@READTIME;0;0;0;;;Burn-in time (s);1
10;00.00.00.100;OUTP,0;0;0;0;;;Output off;1
11;00.00.00.000;@SYSTIME;0;0;0;;;Finished at;1
12;00.00.00.000;END;0;0;0;;;;1
