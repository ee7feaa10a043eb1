Test-File:
Reporter:;Lab
Unit:;TAV-1600-PS
Serial #:;0505000120

 1;00.00.00.000;@SETVAR01;100;0;0;;;First voltage (V);1
 2;00.00.00.100;SOUR:CURR,16;0;0;0;;;Current limit 16 A;1
 3;00.00.00.500;OUTP,1;0;0;0;;;Output on;1
 4;00.00.00.300;SOUR:VOLTAC,@VAR01;0;0;0;;;Set U = VAR01;1
 5;00.00.00.300;MEAS:VOLT?;0;0;0;95;255;U (V);1
 6;00.00.00.300;MEAS:CURR?;0;0;0;1.9;5.1;I (A);1
 7;00.00.00.300;MEAS:PFACT?;0;0;0;0.85;0.88;Power factor;1
 8;00.00.00.000;@ADDVAR01;30;0;0;;;Next voltage: 30 V more;1
 9;00.00.00.300;GOTO;4;0;5;;;5 more steps: 130 ... 250 V;1
10;00.00.00.100;OUTP,0;0;0;0;;;Output off;1
11;00.00.00.000;END;0;0;0;;;;1
