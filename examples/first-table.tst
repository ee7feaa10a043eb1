Test-File:
Reporter:;Me
Unit:;TAV-1600-PS
Serial #:;0000000001

 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;Set 230 V;1
 2;00.00.00.500;OUTP,1;0;0;0;;;Output on;1
 3;00.00.00.300;MEAS:VOLT?;0;0;0;225;235;U;1
 4;00.00.00.300;MEAS:CURR?;0;0;0;4.4;4.8;I;1
 5;00.00.00.300;GOTO;3;0;2;;;Two more times;1
 6;00.00.00.100;OUTP,0;0;0;0;;;Output off;1
 7;00.00.00.000;END;0;0;0;;;;1
