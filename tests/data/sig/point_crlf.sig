/*** Spectra Vista SIG Data ***/
name= leaf_00002.sig
time= 1/18/2008 11:47:25 AM, 1/18/2008 11:51:57 AM
latitude= 3340.2476N
longitude= 11224.1892W
comm= 
data= 
400.00 1255.80 1231.07 98.03
401.40 1255.80 1231.07 97.50
402.85 1255.80 1231.07 97.10
