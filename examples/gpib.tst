Test-File:
Reporter:;GPIB bench
Unit:;TAV-1600-PS
Serial #:;0505000120

 1;00.00.00.100;*IDN?;0;0;0;;;Identification;2
 2;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;Set 230 V AC;1
 3;00.00.00.500;OUTP,1;0;0;0;;;Output on;1
 4;00.00.00.100;MEAS:VOLT?;0;0;0;227;233;U (V);1
 5;00.00.00.100;MEAS:CURR?;0;0;0;4.5;4.7;I (A);1
 6;00.00.00.100;@GPIB22:MEAS:VOLT:AC?;0;0;0;227;233;U, meter at address 22 (V);1
 7;00.00.00.100;OUTP,0;0;0;0;;;Output off;1
 8;00.00.00.000;END;0;0;0;;;;1
