Test-File:
Reporter:;Calibration bench
Unit:;TAV-1600-PS
Serial #:;0505000120

 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;Set 230 V AC;1
 2;00.00.00.500;OUTP,1;0;0;0;;;Output on;1
 3;00.00.00.100;EXTVAC;0;0;0;;;Meter to AC volts;1
 4;00.00.00.300;MEAS:VOLT?;0;0;0;228.5;231.5;U, instrument (V);1
 5;00.00.00.300;EXTMEAS?;0;0;0;228.5;231.5;U, meter (V);1
 6;00.00.00.300;EXTMVAC?;0;0;0;228.5;231.5;U AC, meter measures (V);1
 7;00.00.00.300;@COM03:SENS:FUNC?;0;0;0;;;Meter function;2
 8;00.00.00.100;OUTP,0;0;0;0;;;Output off;1
 9;00.00.00.000;END;0;0;0;;;;1
